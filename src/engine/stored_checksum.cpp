#include "engine/stored_checksum.h"

#include <algorithm>

#include "engine/image_walk.h"
#include "format/checksum.h"

namespace pibgen {

bool ComputeChecksum(file::ImageCursor& image, uint8_t* checksum) {
  ImageChecksum sum;
  const uint64_t length = image.Length();
  // The bytes up to the checksum byte are not read: they do not count.
  const uint64_t from = std::min(length, kChecksumOffset + 1);
  sum.AddZeros(from);
  const bool read = ForEachPiece(image, from, length, [&sum](const ImageWalk& piece) {
    if (piece.Zeros()) {
      sum.AddZeros(piece.Count());
    } else {
      sum.Add(piece.Data(), static_cast<size_t>(piece.Count()));
    }
    return true;
  });
  *checksum = sum.Byte();
  return read;
}

}  // namespace pibgen
