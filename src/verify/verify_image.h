#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Recomputes the checksum of an existing image and prints one line about it:
//   IMAGE: checksum ok (XX)
//   IMAGE: no checksum to verify (N bytes, fewer than 3)
//   and the failures of messages.h: the checksum byte is wrong, or the image cannot be read
// Returns true when the stored byte matches or the image is too short to carry one. The image
// is read in blocks and its holes are skipped, so neither its size nor memory bounds it.
bool VerifyImage(const std::string& path, file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
