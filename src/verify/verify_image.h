#pragma once

#include <cstdint>
#include <string>

#include "engine/catalogue.h"
#include "file/file_system.h"

namespace pibgen {

// What recomputing an image's checksum found: the outcome (checksum ok, no checksum to verify,
// a checksum mismatch, or the image cannot be read), worded by outcome.values.
struct ChecksumResult {
  Finding outcome;
  bool read = false;          // the image could be read; then:
  uint64_t length = 0;        // its length
  bool has_checksum = false;  // it is long enough to carry a checksum byte; then:
  uint8_t stored = 0;         // the byte at offset 2
  uint8_t computed = 0;       // the byte a conversion would store there

  bool Passed() const { return read && (!has_checksum || stored == computed); }
};

// Recomputes the checksum of an existing image. The image is read in blocks and its holes are
// skipped, so neither its size nor memory bounds it.
ChecksumResult VerifyImage(const std::string& path, file::FileSystem& file_system);

}  // namespace pibgen
