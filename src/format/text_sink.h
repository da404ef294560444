#pragma once

#include <string_view>

namespace pibgen {

// Where the program's trace lines and messages go. The conversion never writes to a
// stream directly, so tests and the fuzzer can capture everything it says.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void Print(std::string_view text) = 0;
  // Hands on everything printed so far. False once some of it was lost on the way (a write
  // that failed); a reader that chose to stop reading loses nothing. A sink that holds
  // nothing back has nothing to hand on.
  virtual bool Flush() { return true; }
};

}  // namespace pibgen
