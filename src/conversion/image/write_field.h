#pragma once

#include <string_view>

#include "conversion/image/field_entry.h"
#include "conversion/image/pib_image_file.h"

namespace pibgen {

// How many bytes a field takes in the image: 2, 1, 4 or 4 for the numeric types, its size for
// "System.Byte[]" and for fill fields (anything else). A negative size is the caller's to
// refuse; here it counts as 0.
uint64_t FieldLength(const FieldEntry& entry);

// Whether the field's length comes from its size ("System.Byte[]" and fill fields).
bool IsSizedField(const FieldEntry& entry);
// The same by the type text alone.
bool IsSizedType(std::string_view type);

// Appends the field's bytes to the image.
void WriteField(PibImageFile& image, const FieldEntry& entry);

}  // namespace pibgen
