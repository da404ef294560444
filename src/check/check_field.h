#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/finding.h"
#include "convert/field_entry_collector.h"
#include "xml/read_description.h"

namespace pibgen {

// Looks at one field as the conversion reads it, child by child, and appends what it finds:
// child names that differ from "type", "size" and "value" only in case, repeated children, a
// misspelt type, sizes and numbers with trailing characters or outside their range, missing
// values, Byte[] values that are not hex or do not fill their size, a size without a type, and
// a field whose bytes the checksum overwrites.
class FieldCheck {
 public:
  explicit FieldCheck(std::vector<Finding>& findings) : findings_(findings) {}

  // Starts field number index (counting the root's children from 1) on line; its name
  // attribute, if any, names it in the findings.
  void Begin(uint32_t index, std::span<const xml::Attribute> attributes, uint32_t line);
  // One child of the field: its node name, trimmed text and line.
  void Child(std::string_view name, std::string_view text, uint32_t line);
  // Ends the field, which starts at offset in the image; returns its length in the image.
  uint64_t End(uint64_t offset);

 private:
  const FieldEntry& entry() const { return collector_.Entry(); }
  void Warn(uint32_t line, const std::string& message);
  uint32_t LineOf(size_t setting) const;
  void CheckType();
  void CheckSize();
  // A numeric field of type, whose values from min to max are written faithfully.
  void CheckNumericValue(std::string_view type, int64_t min, int64_t max);
  void CheckByteArrayValue();
  std::string ShortValueBytes(uint64_t size) const;
  void CheckChecksumOverlap(uint64_t offset, uint64_t length);

  std::vector<Finding>& findings_;
  uint32_t line_ = 0;
  std::string label_;
  FieldEntryCollector collector_;
  std::string size_text_;  // the text of the size child that counts
  // For type, size and value: the line of the child's last occurrence, if any.
  std::array<std::optional<uint32_t>, 3> lines_;
};

}  // namespace pibgen
