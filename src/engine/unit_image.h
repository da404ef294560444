#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/checksum.h"
#include "format/crc32.h"
#include "format/field_codec.h"

namespace pibgen {

// A description's image rendered once, for making many images that differ from it only in a
// few fields: the stored bytes in one block, long runs of zeros (fills) kept as holes. A field
// to be set is marked, its bytes always stored; each image then rewrites those bytes and takes
// its checksum from the rendered image's CRC and the change alone, without summing the rest.
class UnitImage final : public ByteSink {
 public:
  // Runs of zeros at least this long stay holes, unless they belong to a field to be set.
  static constexpr uint64_t kHole = uint64_t{1} << 16;

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteZeros(uint64_t count) override;
  // The bytes written between these two make a field to be set: stored whatever they are.
  // Returns the field's slot, for SetField.
  size_t BeginSetField();
  void EndSetField();
  // Ends the rendering: takes the CRC of the whole image and the stamped checksum byte.
  void Finish();

  // Writes bytes (the field's whole length) into a marked field's slot.
  void SetField(size_t slot, const FieldBytes& bytes);
  // Stamps the checksum of the image as its fields are set now.
  void StampChecksum();

  uint64_t Length() const { return length_; }
  bool HasChecksum() const { return length_ > kChecksumOffset; }
  uint8_t Checksum() const { return HasChecksum() ? stored_[kChecksumOffset] : 0; }

  // The image in pieces, front to back: stored bytes (data not null) or a hole of zeros.
  struct Piece {
    const uint8_t* data;
    uint64_t count;
  };
  template <typename Visit>
  void ForEachPiece(Visit&& visit) const {
    for (const Segment& segment : segments_) {
      visit(Piece{segment.hole ? nullptr : stored_.data() + segment.stored, segment.count});
    }
  }

 private:
  struct Segment {
    bool hole;
    uint64_t count;
    size_t stored;  // where a stored segment's bytes start in stored_
  };
  struct Slot {
    uint64_t offset;  // in the image
    size_t stored;    // in stored_
    uint64_t length;
    std::vector<uint8_t> rendered;  // the bytes the description gave
  };
  void Store(const uint8_t* bytes, size_t count);

  std::vector<uint8_t> stored_;
  std::vector<Segment> segments_;
  std::vector<Slot> slots_;
  // Each slot's: moves a change at the field's end to the image's end.
  std::vector<Crc32Shift> shifts_;
  std::vector<uint8_t> change_;  // scratch for a field's change
  uint64_t length_ = 0;
  uint32_t crc_ = 0;  // of the rendered image, from offset 3 on, without its final complement
  bool storing_ = false;
};

}  // namespace pibgen
