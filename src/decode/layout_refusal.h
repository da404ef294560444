#pragma once

#include <cstdint>
#include <string>

namespace pibgen {

// Why a layout cannot be used: what makes a conversion refuse it, or what keeps it from being
// read at all, in the words of --check, at a line of the layout (0: no line to give).
struct LayoutRefusal {
  uint32_t line = 0;
  std::string message;
};

// The refusal as --check prints an error: "PATH:LINE: error: MESSAGE" and a line feed.
inline std::string RefusalLine(const std::string& path, const LayoutRefusal& refusal) {
  std::string line = path;
  if (refusal.line > 0) {
    line += ':';
    line += std::to_string(refusal.line);
  }
  line += ": error: ";
  line += refusal.message;
  line += '\n';
  return line;
}

}  // namespace pibgen
