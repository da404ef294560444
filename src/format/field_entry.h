#pragma once

#include <cstdint>
#include <string>

namespace pibgen {

// One field as the description gives it: the type text, the size, and the value text.
// Texts are UTF-8; an absent child leaves its default.
struct FieldEntry {
  std::string type;
  int32_t size = 0;
  std::string value;
};

}  // namespace pibgen
