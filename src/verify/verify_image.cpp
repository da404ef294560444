#include "verify/verify_image.h"

#include "engine/stored_checksum.h"
#include "format/checksum.h"
#include "format/hex.h"
#include "engine/messages.h"

namespace pibgen {

bool VerifyImage(const std::string& path, file::FileSystem& file_system, TextSink& out) {
  const std::unique_ptr<file::ImageReader> image = file_system.OpenImage(path);
  uint64_t length = 0;
  uint8_t stored = 0;
  uint8_t computed = 0;
  const bool readable =
      image && image->Length(&length) &&
      (length <= kChecksumOffset || (image->Seek(kChecksumOffset) && image->Read(&stored, 1) &&
                                     ComputeChecksum(*image, length, &computed)));
  if (!readable) {
    out.Print(CannotReadImageMessage(path));
    return false;
  }
  if (length <= kChecksumOffset) {
    out.Print(path + ": no checksum to verify (" + std::to_string(length) + " bytes, fewer than " +
              std::to_string(kChecksumOffset + 1) + ")\n");
    return true;
  }
  if (computed == stored) {
    out.Print(path + ": checksum ok (" + HexByte(stored) + ")\n");
    return true;
  }
  out.Print(ChecksumMismatchMessage(path, stored, computed));
  return false;
}

}  // namespace pibgen
