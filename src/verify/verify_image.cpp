#include "verify/verify_image.h"

#include "engine/opened_image.h"
#include "engine/stored_checksum.h"
#include "format/checksum.h"
#include "format/hex.h"

namespace pibgen {

ChecksumResult VerifyImage(const std::string& path, file::FileSystem& file_system) {
  OpenedImage image(path, file_system);
  ChecksumResult result;
  const uint64_t length = image.Opened() ? image.Length() : 0;
  uint8_t stored = 0;
  uint8_t computed = 0;
  result.read = image.Opened() &&
                (length <= kChecksumOffset || (image.Cursor().Copy(kChecksumOffset, 1, &stored) &&
                                               ComputeChecksum(image.Cursor(), &computed)));
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
