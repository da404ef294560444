#include "verify/verify_image.h"

#include "format/checksum.h"

namespace pibgen {
namespace {

std::string Hex(uint8_t byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

}  // namespace

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
    out.Print(path + ": cannot read the image\n");
    return false;
  }
  if (length <= kChecksumOffset) {
    out.Print(path + ": no checksum to verify (" + std::to_string(length) +
              " bytes, fewer than 3)\n");
    return true;
  }
  if (computed == stored) {
    out.Print(path + ": checksum ok (" + Hex(stored) + ")\n");
    return true;
  }
  out.Print(path + ": checksum mismatch: stored " + Hex(stored) + ", computed " + Hex(computed) +
            "\n");
  return false;
}

}  // namespace pibgen
