#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/text_sink.h"

namespace pibgen {

// What the program needs of its process, the same on every system it runs on.

// Makes the process ready before anything is opened: standard descriptors that are safe to
// write to, standard output in binary form, the signals and console events that are the
// program's to handle. Fills arguments with the command line as UTF-8, element 0 being the
// program. Returns false if the program must not go on; out may have said why.
bool PrepareProcess(int argc, char** argv, std::vector<std::string>* arguments, TextSink& out);

// What became of a write to standard output.
enum class OutputWrite {
  kWritten,     // every byte was taken
  kReaderGone,  // a pipe whose reader has left, or no standard output at all: no one reads
  kFailed,      // a device that fails, a full disk: the output is lost
};

// Writes all size bytes to standard output, waiting for it where it is full for now.
OutputWrite WriteStandardOutput(const char* data, size_t size);

// Whether standard error is a terminal, where a progress line may be shown.
bool StandardErrorIsTerminal();
// Writes text to standard error as far as it takes it; a progress line, never a result.
void WriteStandardError(std::string_view text);

}  // namespace pibgen
