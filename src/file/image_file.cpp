#include <cstdint>

#include "file/file_system.h"

namespace pibgen::file {

bool WriteZeroBytes(ImageFile& file, uint64_t count) {
  static constexpr uint8_t kZeros[size_t{1} << 16] = {};
  while (count > 0) {
    const size_t take = count < sizeof kZeros ? static_cast<size_t>(count) : sizeof kZeros;
    if (!file.Write(kZeros, take)) return false;
    count -= take;
  }
  return true;
}

bool ImageFile::WriteZeros(uint64_t count) {
  uint64_t start = 0;
  uint64_t zeros_from = 0;
  switch (ZerosKnownFrom(&start, &zeros_from)) {
    case Holes::kNone:
      return WriteZeroBytes(*this, count);
    case Holes::kFailed:
      return false;
    case Holes::kKnown:
      break;
  }
  // Only what lies where the file reads as zeros already can be skipped; the rest is written.
  if (zeros_from > start) {
    const uint64_t inside = count < zeros_from - start ? count : zeros_from - start;
    if (!WriteZeroBytes(*this, inside)) return false;
    start += inside;
    count -= inside;
  }
  if (count == 0) return true;
  if (count > uint64_t{INT64_MAX} - start) return false;
  return ExtendTo(start + count);
}

}  // namespace pibgen::file
