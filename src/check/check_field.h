#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "check/finding.h"
#include "xml/dom_document.h"

namespace pibgen {

// Looks at one field element as the conversion reads it and appends what it finds: child
// names that differ from "type", "size" and "value" only in case, repeated children, a
// misspelt type, sizes and numbers with trailing characters or outside their range, missing
// values, Byte[] values that are not hex or do not fill their size, a size without a type, and
// a field whose bytes the checksum overwrites. index counts fields from 1; offset is where the
// field starts in the image. Returns the field's length in the image.
uint64_t CheckField(const xml::DomNode& field, size_t index, uint64_t offset,
                    std::vector<Finding>& findings);

}  // namespace pibgen
