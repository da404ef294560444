#pragma once

#include <cstdint>

#include "format/field_types.h"
#include "file/file_system.h"

namespace pibgen {

// The checksum byte of the first `length` bytes of an image: the top byte of the CRC-32 of
// those after kChecksumOffset (0 when there are none). Stored data is read in blocks; holes
// are counted as the zeros they stand for without being read, so a huge sparse image takes no
// longer than its data. Returns false if the image cannot be read.
bool ComputeChecksum(file::ImageReader& image, uint64_t length, uint8_t* checksum);

}  // namespace pibgen
