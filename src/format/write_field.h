#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "format/field_entry.h"
#include "convert/pib_image_file.h"

namespace pibgen {

// What a type text makes of a field: one of the five types (compared exactly, in the order
// of kFieldTypes), or a fill.
enum class FieldKind { kUInt16, kByte, kUInt32, kInt32, kByteArray, kFill };
FieldKind KindOf(std::string_view type);

// A field's bytes in memory, for comparing an image with its description without writing
// one: the bytes the encoding writes, then the zeros that follow them (the rest of a Byte[]
// value, or a whole fill) as a count, so a fill of gigabytes costs nothing.
struct FieldBytes {
  std::vector<uint8_t> bytes;
  uint64_t zeros = 0;

  void Clear() {
    bytes.clear();
    zeros = 0;
  }
  void Write(const uint8_t* data, size_t count) {
    bytes.resize(static_cast<size_t>(bytes.size() + zeros), 0);
    zeros = 0;
    bytes.insert(bytes.end(), data, data + count);
  }
  void WriteZeros(uint64_t count) { zeros += count; }
};

// How many bytes a field takes in the image: 2, 1, 4 or 4 for the numeric types, its size for
// "System.Byte[]" and for fill fields (anything else). A negative size is the caller's to
// refuse; here it counts as 0.
uint64_t FieldLength(const FieldEntry& entry);

// Whether the field's length comes from its size ("System.Byte[]" and fill fields).
bool IsSizedField(const FieldEntry& entry);
// The same by the type text alone.
bool IsSizedType(std::string_view type);

// Appends the field's bytes to the image, or to bytes (which the caller clears).
void WriteField(PibImageFile& image, const FieldEntry& entry);
void WriteField(FieldBytes& bytes, const FieldEntry& entry);

}  // namespace pibgen
