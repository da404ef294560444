#pragma once

#include <cstdint>
#include <limits>

#include "file/image_cursor.h"

namespace pibgen {

// A walk over the bytes [from, to) of an image, front to back, a piece at a time: stored data,
// or a run of zeros (a hole) that is never read. Each Next takes the piece after the last one,
// so two walks can be advanced side by side. A failed read ends the walk and is kept, to be
// reported once by the caller.
class ImageWalk {
 public:
  static constexpr uint64_t kAny = std::numeric_limits<uint64_t>::max();

  ImageWalk(file::ImageCursor& cursor, uint64_t from, uint64_t to)
      : cursor_(cursor), next_(from), to_(to) {}

  // Takes the next piece, at most max bytes long (max > 0). False at the end or once the image
  // could not be read.
  bool Next(uint64_t max = kAny) {
    at_ = next_;
    if (failed_ || at_ >= to_) return false;
    if (!cursor_.Next(at_, max < to_ - at_ ? max : to_ - at_, &piece_)) {
      failed_ = true;
      return false;
    }
    next_ = at_ + piece_.count;
    return true;
  }

  // The piece taken last: where it starts, how long it is, and its bytes (null for zeros).
  uint64_t At() const { return at_; }
  uint64_t Count() const { return piece_.count; }
  const uint8_t* Data() const { return piece_.data; }
  bool Zeros() const { return piece_.data == nullptr; }

  bool Failed() const { return failed_; }

 private:
  file::ImageCursor& cursor_;
  uint64_t next_;
  uint64_t to_;
  uint64_t at_ = 0;
  file::ImageCursor::Piece piece_;
  bool failed_ = false;
};

// Hands each piece of [from, to) to visit(walk), which reads it through the walk's accessors
// and returns false to stop. False if the image could not be read.
template <typename Visit>
bool ForEachPiece(file::ImageCursor& cursor, uint64_t from, uint64_t to, Visit&& visit) {
  ImageWalk walk(cursor, from, to);
  while (walk.Next()) {
    if (!visit(walk)) break;
  }
  return !walk.Failed();
}

}  // namespace pibgen
