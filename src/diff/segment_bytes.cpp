#include "diff/segment_bytes.h"

#include <algorithm>

namespace pibgen {

uint64_t FirstDifference(const ImagePairWalk::Segment& segment, uint64_t from) {
  const uint8_t* const old_data = segment.old_data;
  const uint8_t* const new_data = segment.new_data;
  const uint64_t count = segment.count;
  if (old_data == nullptr && new_data == nullptr) return count;  // two holes
  const auto nonzero = [](uint8_t b) { return b != 0; };
  if (old_data == nullptr)
    return std::find_if(new_data + from, new_data + count, nonzero) - new_data;
  if (new_data == nullptr)
    return std::find_if(old_data + from, old_data + count, nonzero) - old_data;
  return std::mismatch(old_data + from, old_data + count, new_data + from).first - old_data;
}

uint64_t FirstSame(const ImagePairWalk::Segment& segment, uint64_t from) {
  uint64_t i = from;
  while (i < segment.count && OldByte(segment, i) != NewByte(segment, i)) ++i;
  return i;
}

}  // namespace pibgen
