#include "format/checksum.h"

#include <algorithm>
#include <vector>

#include "format/crc32.h"

namespace pibgen {
namespace {
constexpr size_t kReadBlock = size_t{1} << 20;
}

bool ComputeChecksum(file::ImageReader& image, uint64_t length, uint8_t* checksum) {
  Crc32 crc;
  std::vector<uint8_t> block;
  for (uint64_t position = kChecksumOffset + 1; position < length;) {
    uint64_t begin = 0;
    uint64_t end = 0;
    if (!image.FindData(position, &begin, &end)) return false;
    // The file may be longer than the image (a device) or report stretches past its end.
    begin = std::clamp(begin, position, length);
    end = std::clamp(end, begin, length);
    if (begin == end) end = length;  // an empty stretch would never advance: read on
    crc.UpdateZeros(begin - position);
    if (!image.Seek(begin)) return false;
    if (block.empty()) block.resize(static_cast<size_t>(std::min<uint64_t>(length, kReadBlock)));
    for (position = begin; position < end;) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(end - position, block.size()));
      if (!image.Read(block.data(), take)) return false;
      crc.Update(block.data(), take);
      position += take;
    }
  }
  *checksum = static_cast<uint8_t>(crc.Value() >> 24);
  return true;
}

}  // namespace pibgen
