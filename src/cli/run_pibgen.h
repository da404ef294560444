#pragma once

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// The whole program short of its process entry: answers "--help" or "--version", or runs the
// mode the command line asks for (a conversion from -S and -D, or --check, --verify or
// --decode), and returns the exit status (0 on success, 1 on any failure, output that out
// could not hand on included).
int RunPibgen(int count, const char* const* arguments, file::FileSystem& file_system,
              TextSink& out);

}  // namespace pibgen
