#pragma once

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

}  // namespace pibgen
