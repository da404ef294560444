#include "engine/write_checksum_and_close.h"

namespace pibgen {

bool WriteChecksumAndClose(PibImageFile& image) {
  return image.Flush() && image.StampChecksum() && image.Close();
}

}  // namespace pibgen
