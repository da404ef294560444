#pragma once

#include <cstdint>

#include "file/image_cursor.h"

namespace pibgen {

// The checksum byte of an image as it is stored, read back in blocks; holes are counted as
// the zeros they stand for without being read, so a huge sparse image takes no longer than
// its data. Returns false if the image cannot be read.
bool ComputeChecksum(file::ImageCursor& image, uint8_t* checksum);

}  // namespace pibgen
