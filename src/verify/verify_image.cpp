#include "verify/verify_image.h"

#include "engine/stored_checksum.h"
#include "format/checksum.h"
#include "format/hex.h"

namespace pibgen {

ChecksumResult VerifyImage(const std::string& path, file::FileSystem& file_system) {
  const std::unique_ptr<file::ImageReader> image = file_system.OpenImage(path);
  ChecksumResult result;
  uint64_t length = 0;
  uint8_t stored = 0;
  uint8_t computed = 0;
  result.read =
      image && image->Length(&length) &&
      (length <= kChecksumOffset || (image->Seek(kChecksumOffset) && image->Read(&stored, 1) &&
                                     ComputeChecksum(*image, length, &computed)));
  if (!result.read) {
    result.outcome.code = Code::kCannotReadImage;
    return result;
  }
  result.length = length;
  result.has_checksum = length > kChecksumOffset;
  if (!result.has_checksum) {
    result.outcome.code = Code::kNoChecksum;
    result.outcome.values = {std::to_string(length), std::to_string(kChecksumOffset + 1)};
    return result;
  }
  result.stored = stored;
  result.computed = computed;
  if (computed == stored) {
    result.outcome.code = Code::kChecksumOk;
    result.outcome.values = {HexByte(stored)};
  } else {
    result.outcome.code = Code::kChecksumMismatch;
    result.outcome.values = {HexByte(stored), HexByte(computed)};
  }
  return result;
}

}  // namespace pibgen
