#include "diff/differing_ranges.h"

#include <algorithm>

#include "diff/segment_bytes.h"
#include "format/hex.h"

namespace pibgen {
namespace {

// "01 02 03", and " ..." when the range goes on past what is shown.
std::string Spaced(const std::string& shown, bool more) {
  std::string text;
  AppendHex(text, reinterpret_cast<const uint8_t*>(shown.data()), shown.size(), ' ');
  if (more) text += " ...";
  return text;
}

std::string Plain(const std::string& shown) {
  std::string text;
  AppendHex(text, reinterpret_cast<const uint8_t*>(shown.data()), shown.size(), '\0');
  return text;
}

}  // namespace

void DifferingRanges::Add(const ImagePairWalk::Segment& segment) {
  // Past the end of one image every byte differs.
  if (segment.in_old != segment.in_new) {
    Extend(segment, 0, segment.count);
    return;
  }
  for (uint64_t i = 0; i < segment.count;) {
    const uint64_t differs = FirstDifference(segment, i);
    if (differs > i) End();
    if (differs == segment.count) break;
    const uint64_t same = FirstSame(segment, differs);
    Extend(segment, differs, same - differs);
    i = same;
  }
}

void DifferingRanges::Extend(const ImagePairWalk::Segment& segment, uint64_t from, uint64_t count) {
  const uint64_t at = segment.at + from;
  if (open_ && (end_ != at || in_old_ != segment.in_old || in_new_ != segment.in_new)) End();
  if (!open_) {
    open_ = true;
    begin_ = at;
    in_old_ = segment.in_old;
    in_new_ = segment.in_new;
    old_shown_.clear();
    new_shown_.clear();
  }
  end_ = at + count;
  // Only the first runs are shown, and of each its first bytes.
  if (count_ >= kListedRanges) return;
  const uint64_t shown = begin_ + std::max<uint64_t>(old_shown_.size(), new_shown_.size());
  const uint64_t take = std::min(end_, begin_ + kShownBytes);
  for (uint64_t position = std::max(shown, at); position < take; ++position) {
    const uint64_t i = position - segment.at;
    if (in_old_) old_shown_ += static_cast<char>(OldByte(segment, i));
    if (in_new_) new_shown_ += static_cast<char>(NewByte(segment, i));
  }
}

void DifferingRanges::End() {
  if (!open_) return;
  open_ = false;
  if (++count_ > kListedRanges) return;
  const uint64_t length = end_ - begin_;
  const bool more = length > kShownBytes;
  RangeDifference& range = range_;
  range.offset = begin_;
  range.length = length;
  range.old_bytes.reset();
  range.new_bytes.reset();
  if (in_old_) range.old_bytes = Plain(old_shown_);
  if (in_new_) range.new_bytes = Plain(new_shown_);
  range.finding.code = Code::kRangeDiffers;
  range.finding.values = {std::to_string(begin_), std::to_string(length),
                          in_old_ ? Spaced(old_shown_, more) : "",
                          in_new_ ? Spaced(new_shown_, more) : ""};
  sink_.RangeDiffers(range);
}

}  // namespace pibgen
