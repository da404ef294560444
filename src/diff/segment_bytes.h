#pragma once

#include <cstdint>

#include "diff/image_pair_walk.h"

namespace pibgen {

// A segment's bytes on each side, a hole reading as zeros. Only for a side the segment lies in.
inline uint8_t OldByte(const ImagePairWalk::Segment& segment, uint64_t i) {
  return segment.old_data != nullptr ? segment.old_data[i] : 0;
}
inline uint8_t NewByte(const ImagePairWalk::Segment& segment, uint64_t i) {
  return segment.new_data != nullptr ? segment.new_data[i] : 0;
}

// For a segment inside both images: the first index from `from` on where the two differ, and
// where they are the same again; segment.count if there is none.
uint64_t FirstDifference(const ImagePairWalk::Segment& segment, uint64_t from);
uint64_t FirstSame(const ImagePairWalk::Segment& segment, uint64_t from);

}  // namespace pibgen
