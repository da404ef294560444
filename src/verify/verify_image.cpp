#include "verify/verify_image.h"

#include <vector>

#include "conversion/image/crc32.h"
#include "conversion/image/write_checksum_and_close.h"

namespace pibgen {
namespace {

constexpr size_t kReadBlock = size_t{1} << 20;

std::string Hex(uint8_t byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

}  // namespace

bool VerifyImage(const std::string& path, file::FileSystem& file_system, TextSink& out) {
  const std::unique_ptr<file::SourceFile> file = file_system.OpenSource(path, nullptr);
  std::vector<uint8_t> block(file ? kReadBlock : 0);
  Crc32 crc;
  uint64_t length = 0;
  uint8_t stored = 0;
  bool readable = file != nullptr;
  while (readable) {
    const ptrdiff_t read = file->Read(reinterpret_cast<char*>(block.data()), block.size());
    readable = read >= 0;
    if (read <= 0) break;
    const auto got = static_cast<size_t>(read);
    // Bytes before and at the checksum offset are skipped; the one at the offset is kept.
    size_t skip = 0;
    while (skip < got && length + skip <= kChecksumOffset) {
      if (length + skip == kChecksumOffset) stored = block[skip];
      ++skip;
    }
    crc.Update(block.data() + skip, got - skip);
    length += got;
  }
  if (!readable) {
    out.Print(path + ": cannot read the image\n");
    return false;
  }
  if (length <= kChecksumOffset) {
    out.Print(path + ": no checksum to verify (" + std::to_string(length) +
              " bytes, fewer than 3)\n");
    return true;
  }
  const auto computed = static_cast<uint8_t>(crc.Value() >> 24);
  if (computed == stored) {
    out.Print(path + ": checksum ok (" + Hex(stored) + ")\n");
    return true;
  }
  out.Print(path + ": checksum mismatch: stored " + Hex(stored) + ", computed " + Hex(computed) +
            "\n");
  return false;
}

}  // namespace pibgen
