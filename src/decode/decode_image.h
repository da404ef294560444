#pragma once

#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints a description (UTF-8 XML) that converts to the image at image_path byte for byte:
// the layout's root, and each of its fields with its element name, its attributes, offset="O"
// and length="L", and children type, size (byte arrays and fill fields) and value (not for
// fill fields) read from the image. Nothing is printed until the whole image is known to
// decode: the layout and the image are read once to check, and again to print. Otherwise
// prints one line naming the first reason (messages.h) and returns false: the layout cannot be
// read or converted, the image cannot be read, its length is not the layout's, a fill field
// holds a byte that is not zero, or the checksum byte is wrong.
bool DecodeImage(const std::string& image_path, const std::string& layout_path,
                 file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
