#include "convert/write_checksum_and_close.h"

namespace pibgen {

bool WriteChecksumAndClose(PibImageFile& image) {
  const uint64_t length = image.BytesWritten();
  if (!image.Flush()) return false;
  if (length > kChecksumOffset && image.CanReadBack()) {
    uint8_t checksum = 0;
    if (!ComputeChecksum(image, length, &checksum) || !image.Seek(kChecksumOffset)) return false;
    image.Write(&checksum, 1);
    if (!image.Flush()) return false;
  }
  return image.Close();
}

}  // namespace pibgen
