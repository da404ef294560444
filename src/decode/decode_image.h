#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints a description (UTF-8 XML) that converts to the image at image_path byte for byte:
// the layout's root, and each of its fields with its element name, its attributes, offset="O"
// and length="L", and children type, size (System.Byte[] and fill fields) and value (not for
// fill fields) read from the image. Nothing is printed until the whole image is known to
// decode: the layout and the image are read once to check, and again to print. Otherwise
// prints one line naming the first reason and returns false:
//   LAYOUT:LINE: error: ...                       the layout cannot be read or converted
//   IMAGE: cannot read the image
//   IMAGE: 40 bytes, the layout gives 41
//   IMAGE: field 4 ("pad") is a fill of 16 bytes at offset 9, but offset 12 holds 5A
//   IMAGE: checksum mismatch: stored XX, computed YY
bool DecodeImage(const std::string& image_path, const std::string& layout_path,
                 file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
