#pragma once

#include <cstdint>

#include "file/file_system.h"

namespace pibgen {

// The checksum byte of the first `length` bytes of an image as it is stored, read back in
// blocks; holes are counted as the zeros they stand for without being read, so a huge sparse
// image takes no longer than its data. Returns false if the image cannot be read.
bool ComputeChecksum(file::ImageReader& image, uint64_t length, uint8_t* checksum);

}  // namespace pibgen
