#include "file/image_cursor.h"

#include <algorithm>
#include <cstring>

namespace pibgen::file {
namespace {
constexpr uint64_t kBlock = uint64_t{1} << 20;
}

bool ImageCursor::Next(uint64_t offset, uint64_t max, Piece* piece) {
  if (offset >= length_ || max == 0) return false;
  if (offset < block_begin_ || offset >= block_end_) {
    if (offset < hole_begin_ || offset >= hole_end_) {
      uint64_t begin = 0;
      uint64_t end = 0;
      if (!source_.FindData(offset, &begin, &end)) return false;
      begin = std::clamp(begin, offset, length_);
      end = std::clamp(end, begin, length_);
      if (begin == end) end = length_;  // an empty stretch says nothing: read on
      if (begin > offset) {
        hole_begin_ = offset;
        hole_end_ = begin;
      } else {
        const auto take = static_cast<size_t>(std::min(end - offset, kBlock));
        if (block_.size() < take) block_.resize(static_cast<size_t>(std::min(length_, kBlock)));
        if (!source_.Seek(offset) || !source_.Read(block_.data(), take)) return false;
        block_begin_ = offset;
        block_end_ = offset + take;
      }
    }
    if (offset >= hole_begin_ && offset < hole_end_) {
      piece->data = nullptr;
      piece->count = std::min(max, hole_end_ - offset);
      return true;
    }
  }
  piece->data = block_.data() + (offset - block_begin_);
  piece->count = std::min(max, block_end_ - offset);
  return true;
}

bool ImageCursor::Copy(uint64_t offset, size_t count, uint8_t* out) {
  while (count > 0) {
    Piece piece;
    if (!Next(offset, count, &piece)) return false;
    const auto take = static_cast<size_t>(piece.count);
    if (piece.data != nullptr) {
      std::memcpy(out, piece.data, take);
    } else {
      std::memset(out, 0, take);
    }
    out += take;
    offset += take;
    count -= take;
  }
  return true;
}

}  // namespace pibgen::file
