#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Converts the description at source into the image at destination, printing the trace
// and, on failure, one message to out. The description is loaded and checked before the
// destination is touched; an image that fails half-way is emptied, never left looking done.
bool ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                      file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
