#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "diff/diff_results.h"
#include "diff/image_pair_walk.h"
#include "engine/layout_pass.h"

namespace pibgen {

// Each field of a layout against both images, as the layout is read: the walk is taken up to
// the field's end and the field handed to the sink if its bytes differ (the checksum byte, at
// offset 2, is compared on its own) or it holds bytes past the end of one image that the
// other has.
class FieldChanges final : public LayoutPass {
 public:
  FieldChanges(ImagePairWalk& walk, uint64_t old_length, uint64_t new_length, DiffSink& sink)
      : walk_(walk), old_length_(old_length), new_length_(new_length), sink_(sink) {}

  bool ReadFailed() const { return walk_.Failed(); }
  uint64_t Changed() const { return changed_; }
  // Both images' bytes at offset 2, when a field that both hold covers it.
  const std::optional<std::pair<uint8_t, uint8_t>>& ChecksumBytes() const { return checksum_; }

 private:
  bool Visit(const Field& field) override;
  // Takes bytes [from, to) of the segment, each inside both images, which differ.
  void Differ(const ImagePairWalk::Segment& segment, uint64_t from, uint64_t to);
  // Takes the segment's part of the shown bytes: the field's first, and those from the first
  // difference on.
  void Show(const ImagePairWalk::Segment& segment);
  void ShowFromFirst(const ImagePairWalk::Segment& segment);
  void Report(const Field& field, bool in_old, bool in_new);

  ImagePairWalk& walk_;
  uint64_t old_length_;
  uint64_t new_length_;
  DiffSink& sink_;
  uint64_t changed_ = 0;
  std::optional<std::pair<uint8_t, uint8_t>> checksum_;
  // Of the field being compared: its first bytes on each side (all of a whole one), and those
  // from its first difference on.
  uint64_t field_offset_ = 0;
  uint64_t prefix_bytes_ = 0;
  std::string old_prefix_;
  std::string new_prefix_;
  std::string old_from_first_;
  std::string new_from_first_;
  uint64_t differing_ = 0;
  uint64_t first_ = 0;
  FieldChange change_;
};

}  // namespace pibgen
