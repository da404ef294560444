#pragma once

#include <cstdint>
#include <string>

namespace pibgen {

// A warning marks what converts without complaint but likely not as meant; an error marks
// what makes the conversion fail.
enum class Severity { kWarning, kError };

// One thing the checker has to say about a description, at a line of it (0: no line).
struct Finding {
  uint32_t line;
  Severity severity;
  std::string message;
};

}  // namespace pibgen
