#pragma once

#include <cstddef>
#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

struct CheckSummary {
  size_t warnings = 0;
  size_t errors = 0;
};

// Loads the description at path and walks it as a conversion would, writing nothing. Prints
// each finding in document order as "PATH:LINE: warning: MESSAGE" (or "error:"; without
// ":LINE" when there is no line to give), then "N warnings, M errors".
CheckSummary CheckDescription(const std::string& path, file::FileSystem& file_system,
                              TextSink& out);

}  // namespace pibgen
