#include "diff/image_pair_walk.h"

#include <algorithm>

namespace pibgen {

bool ImagePairWalk::Side::Cover(uint64_t at) {
  while (end <= at) {
    if (!walk.Next()) {
      failed = true;
      return false;
    }
    end = walk.At() + walk.Count();
    if (walk.Zeros()) {
      checksum.AddZeros(walk.Count());
    } else {
      checksum.Add(walk.Data(), static_cast<size_t>(walk.Count()));
      if (walk.At() <= kChecksumOffset && kChecksumOffset < end) {
        stored = walk.Data()[kChecksumOffset - walk.At()];
      }
    }
  }
  return true;
}

uint64_t ImagePairWalk::Longer() const { return std::max(old_.length, new_.length); }

bool ImagePairWalk::Next(uint64_t to, Segment* segment) {
  if (Failed() || at_ >= to) return false;
  uint64_t end = to;
  const auto place = [&](Side& side, bool* inside, const uint8_t** data) {
    *inside = at_ < side.length;
    *data = nullptr;
    if (!*inside) return true;
    if (!side.Cover(at_)) return false;
    end = std::min(end, side.end);
    if (!side.walk.Zeros()) *data = side.walk.Data() + (at_ - side.walk.At());
    return true;
  };
  if (!place(old_, &segment->in_old, &segment->old_data) ||
      !place(new_, &segment->in_new, &segment->new_data)) {
    return false;
  }
  // A segment never runs past the end of an image it starts in.
  segment->at = at_;
  segment->count = end - at_;
  at_ = end;
  return true;
}

}  // namespace pibgen
