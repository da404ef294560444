#include "format/checksum.h"

#include <algorithm>

#include "file/image_cursor.h"

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

bool ComputeChecksum(file::ImageReader& image, uint64_t length, uint8_t* checksum) {
  ImageChecksum sum;
  // The bytes up to the checksum byte are not read: they do not count.
  uint64_t at = std::min(length, kChecksumOffset + 1);
  sum.AddZeros(at);
  file::ImageCursor cursor(image, length);
  file::ImageCursor::Piece piece;
  for (; at < length; at += piece.count) {
    if (!cursor.Next(at, length - at, &piece)) return false;
    if (piece.data == nullptr) {
      sum.AddZeros(piece.count);
    } else {
      sum.Add(piece.data, static_cast<size_t>(piece.count));
    }
  }
  *checksum = sum.Byte();
  return true;
}

}  // namespace pibgen
