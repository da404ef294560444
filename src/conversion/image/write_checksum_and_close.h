#pragma once

#include "conversion/image/pib_format.h"
#include "conversion/image/pib_image_file.h"

namespace pibgen {

// Flushes the image, reads it back, stores the top byte of the CRC-32 of bytes 3 to the end
// at offset 2 (replacing the field byte there), and closes the file. Images shorter than 3
// bytes have nothing after offset 2 and get no checksum byte. Returns false on the first
// failure, which the image remembers (Fault()).
bool WriteChecksumAndClose(PibImageFile& image);

}  // namespace pibgen
