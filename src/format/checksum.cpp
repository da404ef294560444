#include "format/checksum.h"

#include <algorithm>
#include <vector>

namespace pibgen {
namespace {
constexpr size_t kReadBlock = size_t{1} << 20;
}

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

bool ComputeChecksum(file::ImageReader& image, uint64_t length, uint8_t* checksum) {
  ImageChecksum sum;
  // The bytes up to the checksum byte are not read: they do not count.
  uint64_t position = std::min(length, kChecksumOffset + 1);
  sum.AddZeros(position);
  std::vector<uint8_t> block;
  while (position < length) {
    uint64_t begin = 0;
    uint64_t end = 0;
    if (!image.FindData(position, &begin, &end)) return false;
    // The file may be longer than the image (a device) or report stretches past its end.
    begin = std::clamp(begin, position, length);
    end = std::clamp(end, begin, length);
    if (begin == end) end = length;  // an empty stretch would never advance: read on
    sum.AddZeros(begin - position);
    if (!image.Seek(begin)) return false;
    if (block.empty()) block.resize(static_cast<size_t>(std::min<uint64_t>(length, kReadBlock)));
    for (position = begin; position < end;) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(end - position, block.size()));
      if (!image.Read(block.data(), take)) return false;
      sum.Add(block.data(), take);
      position += take;
    }
  }
  *checksum = sum.Byte();
  return true;
}

}  // namespace pibgen
