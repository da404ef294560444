#pragma once

#include <string>

#include "format/text_sink.h"

namespace pibgen {

struct CommandLine {
  std::string source;
  std::string destination;
  // False when a switch carried a path too long to accept; the message is already printed.
  bool usable = true;
};

// Reads -S<path> and -D<path> (either case, '/' for '-') from arguments 1 to count - 1,
// printing "<index>: <argument from the letter on>" for each before taking its path. The
// last occurrence of a switch wins; other letters and a bare '-' or '/' are ignored.
// Argument 0, the program's own path, is not a switch.
CommandLine ParseCommandLine(int count, const char* const* arguments, TextSink& out);

}  // namespace pibgen
