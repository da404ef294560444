#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "file/file_system.h"

namespace pibgen::file {

// Reads an image in pieces, front to back: stored data through one block buffer, and the
// holes a file left for long zero runs as counts of zeros that are never read. A 2 GiB fill
// then costs a few calls, not 2 GiB of reading.
class ImageCursor {
 public:
  // A piece of the image: count bytes at data, or count zero bytes when data is null.
  struct Piece {
    const uint8_t* data = nullptr;
    uint64_t count = 0;
  };

  ImageCursor(ImageReader& source, uint64_t length) : source_(source), length_(length) {}

  uint64_t Length() const { return length_; }

  // The piece that starts at offset, at most max bytes long (offset < Length(), max > 0).
  // False when the image cannot be read. Reading forward is cheap; going back rereads.
  bool Next(uint64_t offset, uint64_t max, Piece* piece);

  // Copies count bytes from offset (all within the image) into out.
  bool Copy(uint64_t offset, size_t count, uint8_t* out);

 private:
  ImageReader& source_;
  uint64_t length_;
  std::vector<uint8_t> block_;
  // The data held in block_, and a stretch known to be a hole.
  uint64_t block_begin_ = 0;
  uint64_t block_end_ = 0;
  uint64_t hole_begin_ = 0;
  uint64_t hole_end_ = 0;
};

}  // namespace pibgen::file
