#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Converts the description at source into the image at destination. The description is read
// once, its fields checked and rendered as they arrive; the trace and the image are held until
// the read has ended good, then the trace is printed (and flushed: a trace out cannot hand on
// fails the conversion) and the image put in the destination's place whole. On failure prints one
// message, leaves the destination as it was (a destination written in place is emptied if writing
// it fails) and returns false.
bool ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                      file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
