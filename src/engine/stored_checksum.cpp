#include "engine/stored_checksum.h"

#include <algorithm>

#include "file/image_cursor.h"
#include "format/checksum.h"

namespace pibgen {

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
