#pragma once

#include "engine/pib_image_file.h"

namespace pibgen {

// Finishes the image: hands on what is buffered, stores the top byte of the CRC-32 of bytes 3
// to the end at offset 2 (replacing the field byte there; images shorter than 3 bytes get no
// checksum byte) and puts the image in the destination's place. The checksum is summed over
// the bytes as they were written, so nothing is read back. Returns false on the first failure,
// which the image remembers (Fault()).
bool WriteChecksumAndClose(PibImageFile& image);

}  // namespace pibgen
