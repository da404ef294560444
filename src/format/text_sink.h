#pragma once

#include <string_view>

namespace pibgen {

// Where the program's trace lines and messages go. The conversion never writes to a
// stream directly, so tests and the fuzzer can capture everything it says.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void Print(std::string_view text) = 0;
};

}  // namespace pibgen
