#pragma once

#include "convert/pib_image_file.h"
#include "format/checksum.h"

namespace pibgen {

// Flushes the image, reads back the bytes written to it, stores the top byte of the CRC-32 of
// bytes 3 to the end at offset 2 (replacing the field byte there), and closes the file. The
// length is what was written, not what the file reports: a device holding the image is
// larger, or tells no size at all. Images shorter than 3 bytes have nothing after offset 2 and
// get no checksum byte. Returns false on the first failure, which the image remembers
// (Fault()). An image that cannot be read back (a character device) gets no checksum byte.
bool WriteChecksumAndClose(PibImageFile& image);

}  // namespace pibgen
