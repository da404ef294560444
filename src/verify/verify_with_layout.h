#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Builds the image the layout describes, field by field in memory (no file is written), and
// compares it with the image at image_path, which is read in pieces with its holes skipped.
// Equal: prints "IMAGE: matches LAYOUT (N fields, M bytes, checksum XX)" and returns true.
// Otherwise prints a line for each field whose bytes differ (the checksum byte aside), one
// for a length difference and one for a checksum difference, and returns false:
//   IMAGE: field 4 ("serial") at offset 9, 4 bytes: image 78 56 34 12 (305419896),
//       description 01 00 00 00 (1)
//   IMAGE: field 5 at offset 13, 4096 bytes: 3 bytes differ, the first at offset 20: image
//       01 02 03 04 05 06 07 08 ..., description 00 00 00 00 00 00 00 00 ...
//   (a line for a length that differs, messages.h)
//   IMAGE: checksum byte: image 36, description 35
// A layout a conversion refuses is refused as --check reports it (LAYOUT:LINE: error: ...).
bool VerifyWithLayout(const std::string& image_path, const std::string& layout_path,
                      file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
