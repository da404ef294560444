#include "conversion/image/write_checksum_and_close.h"

#include <algorithm>
#include <vector>

#include "conversion/image/crc32.h"

namespace pibgen {
namespace {
constexpr size_t kReadBlock = size_t{1} << 20;
}

bool WriteChecksumAndClose(PibImageFile& image) {
  uint64_t length = 0;
  if (!image.Flush() || !image.Length(&length)) return false;
  if (length > kChecksumOffset) {
    // Read back in blocks: an image may be far larger than memory should hold.
    Crc32 crc;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(length, kReadBlock)));
    if (!image.Seek(kChecksumOffset + 1)) return false;
    for (uint64_t left = length - kChecksumOffset - 1; left > 0;) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      if (!image.Read(block.data(), take)) return false;
      crc.Update(block.data(), take);
      left -= take;
    }
    const uint8_t checksum = static_cast<uint8_t>(crc.Value() >> 24);
    if (!image.Seek(kChecksumOffset)) return false;
    image.Write(&checksum, 1);
    if (!image.Flush()) return false;
  }
  return image.Close();
}

}  // namespace pibgen
