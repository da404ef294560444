#include "format/checksum.h"

#include <algorithm>


namespace pibgen {

uint64_t ImageChecksum::Uncovered(uint64_t count) const {
  return length_ > kChecksumOffset ? 0 : std::min(count, kChecksumOffset + 1 - length_);
}

void ImageChecksum::Add(const uint8_t* bytes, size_t count) {
  const auto skip = static_cast<size_t>(Uncovered(count));
  crc_.Update(bytes + skip, count - skip);
  length_ += count;
}

void ImageChecksum::AddZeros(uint64_t count) {
  crc_.UpdateZeros(count - Uncovered(count));
  length_ += count;
}

}  // namespace pibgen
