#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pibgen {

// The standard CRC-32 (reflected polynomial 0xEDB88320, initial value and final complement
// 0xFFFFFFFF), fed in pieces so a large image never has to sit in memory at once.
class Crc32 {
 public:
  void Update(const uint8_t* data, size_t count);
  // The same as Update over count zero bytes, in time that grows with log(count).
  void UpdateZeros(uint64_t count);
  uint32_t Value() const { return ~state_; }

 private:
  uint32_t state_ = 0xFFFFFFFFu;
};

// The CRC-32 is linear where two messages have the same length: the CRC of A XOR B is
// crc(A) ^ crc(B) ^ crc(zeros). So the CRC of an image whose few bytes change follows from the
// old image's CRC and the change alone, without reading the rest again.
//
// The register after data fed from zero, without the complements: what the change `data`
// makes to the CRC of a message that ends with it.
uint32_t Crc32OfChange(const uint8_t* data, size_t count);

// Moving a change `count` bytes further from the end of the message: a linear map made once
// (in time that grows with log(count)) and applied in at most 32 steps.
class Crc32Shift {
 public:
  explicit Crc32Shift(uint64_t count);
  uint32_t Apply(uint32_t change) const;

 private:
  std::array<uint32_t, 32> columns_;
};

}  // namespace pibgen
