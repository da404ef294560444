#pragma once

#include <cstdint>
#include <string>

#include "diff/diff_results.h"
#include "diff/image_pair_walk.h"

namespace pibgen {

// Gathers segments of two images into runs of adjacent bytes that differ, a run past the end of
// the shorter image kept apart, and hands the first kListedRanges runs to the sink as each ends.
class DifferingRanges {
 public:
  explicit DifferingRanges(DiffSink& sink) : sink_(sink) {}

  void Add(const ImagePairWalk::Segment& segment);
  // Ends the run open at the last segment.
  void End();
  uint64_t Count() const { return count_; }

 private:
  // Counts bytes [from, from + count) of the segment, which all differ, into the run.
  void Extend(const ImagePairWalk::Segment& segment, uint64_t from, uint64_t count);

  DiffSink& sink_;
  uint64_t count_ = 0;
  bool open_ = false;
  uint64_t begin_ = 0;
  uint64_t end_ = 0;
  bool in_old_ = false;
  bool in_new_ = false;
  std::string old_shown_;
  std::string new_shown_;
  RangeDifference range_;
};

}  // namespace pibgen
