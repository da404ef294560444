#include "diff/field_changes.h"

#include <algorithm>

#include "diff/segment_bytes.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/hex.h"

namespace pibgen {
namespace {

// Bytes [from, to) of a segment on one side, appended to out up to `room` bytes in all.
void Append(std::string& out, const uint8_t* data, uint64_t from, uint64_t to, uint64_t room) {
  const uint64_t end = std::min(to, from + (room - std::min<uint64_t>(room, out.size())));
  for (uint64_t i = from; i < end; ++i) out += static_cast<char>(data != nullptr ? data[i] : 0);
}

}  // namespace

bool FieldChanges::Visit(const Field& field) {
  const uint64_t end = field.offset + field.length;
  const bool in_old = end <= old_length_;
  const bool in_new = end <= new_length_;
  field_offset_ = field.offset;
  prefix_bytes_ = field.length <= kWholeBytes ? field.length : kShownBytes;
  old_prefix_.clear();
  new_prefix_.clear();
  old_from_first_.clear();
  new_from_first_.clear();
  differing_ = 0;
  first_ = 0;
  const uint64_t limit = std::min(end, walk_.Longer());
  ImagePairWalk::Segment segment;
  while (walk_.Next(limit, &segment)) {
    Show(segment);
    if (!segment.in_old || !segment.in_new) continue;
    for (uint64_t i = 0; i < segment.count;) {
      const uint64_t differs = FirstDifference(segment, i);
      if (differs == segment.count) break;
      const uint64_t same = FirstSame(segment, differs);
      const uint64_t checksum = kChecksumOffset - std::min(kChecksumOffset, segment.at);
      if (segment.at + differs <= kChecksumOffset && kChecksumOffset < segment.at + same) {
        // The checksum byte differs; it is reported once, as the checksum.
        Differ(segment, differs, checksum);
        Differ(segment, checksum + 1, same);
      } else {
        Differ(segment, differs, same);
      }
      i = same;
    }
    if (segment.at <= kChecksumOffset && kChecksumOffset < segment.at + segment.count) {
      const uint64_t i = kChecksumOffset - segment.at;
      checksum_.emplace(OldByte(segment, i), NewByte(segment, i));
    }
    ShowFromFirst(segment);
  }
  if (walk_.Failed()) return false;
  // Past the shorter image's end a field differs even where both images end inside it.
  const bool uneven = std::min(end, old_length_) != std::min(end, new_length_);
  if (differing_ > 0 || in_old != in_new || uneven) Report(field, in_old, in_new);
  return true;
}

void FieldChanges::Show(const ImagePairWalk::Segment& segment) {
  const uint64_t from = segment.at - field_offset_;
  if (from >= prefix_bytes_) return;
  const uint64_t to = std::min(segment.count, prefix_bytes_ - from);
  if (segment.in_old) Append(old_prefix_, segment.old_data, 0, to, prefix_bytes_);
  if (segment.in_new) Append(new_prefix_, segment.new_data, 0, to, prefix_bytes_);
}

void FieldChanges::Differ(const ImagePairWalk::Segment& segment, uint64_t from, uint64_t to) {
  if (from >= to) return;
  if (differing_ == 0) first_ = segment.at + from;
  differing_ += to - from;
}

void FieldChanges::ShowFromFirst(const ImagePairWalk::Segment& segment) {
  const uint64_t next = first_ + old_from_first_.size();
  if (differing_ == 0 || old_from_first_.size() >= kShownBytes) return;
  if (next >= segment.at + segment.count) return;
  const uint64_t from = next - segment.at;
  Append(old_from_first_, segment.old_data, from, segment.count, kShownBytes);
  Append(new_from_first_, segment.new_data, from, segment.count, kShownBytes);
}

void FieldChanges::Report(const Field& field, bool in_old, bool in_new) {
  ++changed_;
  const bool whole = field.length <= kWholeBytes;
  const bool from_first = !whole && differing_ > 0;
  const bool numeric = IsNumeric(field.kind);
  const auto value = [&](bool inside, const std::string& prefix, const std::string& from) {
    std::optional<std::string> text;
    if (!inside) return text;
    const std::string& shown = from_first ? from : prefix;
    const auto* const bytes = reinterpret_cast<const uint8_t*>(shown.data());
    text.emplace();
    if (numeric) {
      *text = NumericValueText(field.kind, bytes);
    } else {
      AppendHex(*text, bytes, shown.size(), '\0');
    }
    return text;
  };
  FieldChange& change = change_;
  change.offset = field.offset;
  change.length = field.length;
  change.type = field.entry.type;
  change.old_value = value(in_old, old_prefix_, old_from_first_);
  change.new_value = value(in_new, new_prefix_, new_from_first_);
  change.differing = differing_;
  change.first = first_;
  // A value shown in part is marked so in the text.
  const auto worded = [&](const std::optional<std::string>& text) {
    return !text ? std::string() : whole ? *text : *text + "...";
  };
  Finding& finding = change.finding;
  finding.code = Code::kFieldChanged;
  finding.field = field.index;
  finding.named = field.named;
  finding.name = field.name;
  finding.line = field.line;
  finding.values = {std::to_string(field.offset),
                    std::to_string(field.length),
                    field.entry.type,
                    from_first ? std::to_string(differing_) : "",
                    from_first ? std::to_string(first_) : "",
                    worded(change.old_value),
                    worded(change.new_value)};
  sink_.FieldDiffers(change);
}

}  // namespace pibgen
