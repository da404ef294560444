#pragma once

#include <cstddef>
#include <cstdint>

#include "format/crc32.h"

namespace pibgen {

// Offset of the checksum byte in the image. The byte there is the top byte of the CRC-32 of
// every byte after it; images too short to have one byte after it get no checksum byte.
inline constexpr uint64_t kChecksumOffset = 2;

// The checksum byte of an image fed front to back in pieces, stored bytes and runs of zeros
// alike: whatever lies at or before kChecksumOffset is only counted, not checksummed.
class ImageChecksum {
 public:
  void Add(const uint8_t* bytes, size_t count);
  void AddZeros(uint64_t count);
  // Bytes fed so far.
  uint64_t Length() const { return length_; }
  // Whether an image of Length() bytes carries a checksum byte.
  bool HasChecksum() const { return length_ > kChecksumOffset; }
  uint8_t Byte() const { return static_cast<uint8_t>(crc_.Value() >> 24); }

 private:
  // How many of count bytes from the current length lie at or before the checksum byte.
  uint64_t Uncovered(uint64_t count) const;

  Crc32 crc_;
  uint64_t length_ = 0;
};

}  // namespace pibgen
