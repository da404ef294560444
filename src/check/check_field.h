#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalogue.h"
#include "engine/read_fields.h"

namespace pibgen {

// Looks at one field as the conversion reads it, child by child, and appends what it finds:
// child names that differ from "type", "size" and "value" only in case, repeated children, a
// misspelt type, a negative size, sizes and numbers with trailing characters or outside their
// range, missing values, Byte[] values that are not hex or do not fill their size, a size or
// a value without a type, a size given to a fixed-width type, and a field whose bytes the
// checksum overwrites.
class FieldCheck {
 public:
  explicit FieldCheck(std::vector<Finding>& findings) : findings_(findings) {}

  void Begin(const Field& field);
  // One child, before the field collects it: field shows the children before it.
  void Child(const Field& field, std::string_view name, uint32_t line);
  // The field, collected whole.
  void End(const Field& field);

 private:
  void Report(uint32_t line, Code code, std::vector<std::string> values);
  void CheckType(const Field& field);
  void CheckSize(const Field& field);
  void CheckIgnoredSize(const Field& field);
  void CheckChecksumOverlap(const Field& field);

  std::vector<Finding>& findings_;
  Finding field_;  // the field being looked at, as findings name it
};

}  // namespace pibgen
