#include "engine/unit_image.h"

#include <algorithm>

namespace pibgen {

void UnitImage::Store(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  if (segments_.empty() || segments_.back().hole) {
    segments_.push_back({false, 0, stored_.size()});
  }
  if (bytes == nullptr) {
    stored_.resize(stored_.size() + count, 0);
  } else {
    stored_.insert(stored_.end(), bytes, bytes + count);
  }
  segments_.back().count += count;
  length_ += count;
}

void UnitImage::Write(const uint8_t* bytes, size_t count) { Store(bytes, count); }

void UnitImage::WriteZeros(uint64_t count) {
  // The checksum byte is always stored, so that it can be stamped in place.
  if (length_ <= kChecksumOffset) {
    const uint64_t head = std::min(count, kChecksumOffset + 1 - length_);
    Store(nullptr, static_cast<size_t>(head));
    count -= head;
  }
  if (storing_ || count < kHole) {
    Store(nullptr, static_cast<size_t>(count));
    return;
  }
  if (segments_.empty() || !segments_.back().hole) segments_.push_back({true, 0, 0});
  segments_.back().count += count;
  length_ += count;
}

size_t UnitImage::BeginSetField() {
  storing_ = true;
  slots_.push_back({length_, stored_.size(), 0, {}});
  return slots_.size() - 1;
}

void UnitImage::EndSetField() {
  storing_ = false;
  Slot& slot = slots_.back();
  slot.length = length_ - slot.offset;
  const auto begin = stored_.begin() + static_cast<ptrdiff_t>(slot.stored);
  slot.rendered.assign(begin, begin + static_cast<ptrdiff_t>(slot.length));
}

void UnitImage::Finish() {
  Crc32 crc;
  uint64_t at = 0;
  ForEachPiece([&](const Piece& piece) {
    const uint64_t skip =
        at > kChecksumOffset ? 0 : std::min(piece.count, kChecksumOffset + 1 - at);
    if (piece.data == nullptr) {
      crc.UpdateZeros(piece.count - skip);
    } else {
      crc.Update(piece.data + skip, static_cast<size_t>(piece.count - skip));
    }
    at += piece.count;
  });
  crc_ = crc.Value();
  shifts_.clear();
  for (const Slot& slot : slots_) shifts_.emplace_back(length_ - slot.offset - slot.length);
  StampChecksum();
}

void UnitImage::SetField(size_t slot, const FieldBytes& bytes) {
  const Slot& field = slots_[slot];
  uint8_t* to = stored_.data() + field.stored;
  const size_t count = std::min<size_t>(bytes.bytes.size(), field.length);
  std::copy_n(bytes.bytes.begin(), count, to);
  std::fill(to + count, to + field.length, 0);
}

void UnitImage::StampChecksum() {
  if (!HasChecksum()) return;
  uint32_t crc = crc_;
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Slot& slot = slots_[i];
    // Bytes at or before the checksum byte are not summed.
    const uint64_t skip = slot.offset > kChecksumOffset
                              ? 0
                              : std::min(slot.length, kChecksumOffset + 1 - slot.offset);
    const size_t count = static_cast<size_t>(slot.length - skip);
    if (count == 0) continue;
    change_.resize(count);
    const uint8_t* now = stored_.data() + slot.stored + skip;
    bool changed = false;
    for (size_t j = 0; j < count; ++j) {
      change_[j] = static_cast<uint8_t>(now[j] ^ slot.rendered[skip + j]);
      changed = changed || change_[j] != 0;
    }
    if (changed) crc ^= shifts_[i].Apply(Crc32OfChange(change_.data(), count));
  }
  stored_[kChecksumOffset] = static_cast<uint8_t>(crc >> 24);
}

}  // namespace pibgen
