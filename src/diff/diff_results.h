#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"

namespace pibgen {

// Of a difference, this many bytes of each side are shown; a field of up to kWholeBytes bytes
// is shown whole.
inline constexpr uint64_t kShownBytes = 8;
inline constexpr uint64_t kWholeBytes = 64;
// Runs of differing bytes listed at most; the rest are only counted.
inline constexpr uint64_t kListedRanges = 100;

// A run of adjacent bytes that differ, or the bytes past the end of the shorter image.
struct RangeDifference {
  Finding finding;  // range-differs
  uint64_t offset = 0;
  uint64_t length = 0;
  // Each side's first bytes of the run in hex, two digits a byte; none for a side the range
  // lies past the end of.
  std::optional<std::string> old_bytes;
  std::optional<std::string> new_bytes;
};

// A field of the layout whose bytes differ between the images (the checksum byte aside), or
// that lies past the end of one of them.
struct FieldChange {
  Finding finding;  // field-changed
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string type;
  // Each side's value as a decode writes it: a numeric field in decimal, else hex, two digits
  // a byte (a long field's from the first byte that differs); none for a side the field lies
  // past the end of.
  std::optional<std::string> old_value;
  std::optional<std::string> new_value;
  uint64_t differing = 0;  // how many bytes differ where both images hold the field
  uint64_t first = 0;      // the offset of the first
};

// Receives the differences in offset order as they are found: fields with a layout, then
// ranges (past the layout's end, or all of them without one). What it got is the comparison
// only if the comparison ends with compared set.
class DiffSink {
 public:
  virtual ~DiffSink() = default;
  virtual void FieldDiffers(const FieldChange& change) = 0;
  virtual void RangeDiffers(const RangeDifference& range) = 0;
};

// One image of the two, once compared whole.
struct DiffSide {
  uint64_t length = 0;
  bool has_checksum = false;  // long enough to carry one; then:
  uint8_t stored = 0;
  uint8_t computed = 0;
  Finding finding;  // old-image or new-image: its length and checksum
};

struct DiffResult {
  // False: the images could not be compared, and why: a finding about the file at trouble_path
  // (an image, or the layout), worded as --check words a layout's refusal when refused.
  bool compared = false;
  std::optional<Finding> trouble;
  std::string trouble_path;
  bool refused = false;

  DiffSide old_side;
  DiffSide new_side;
  uint64_t ranges = 0;   // runs that differ, listed or not
  uint64_t changed = 0;  // fields that differ
  // After the differences, in order: the checksum byte that differs (with a layout), the
  // ranges not listed, or that the images are the same.
  std::vector<Finding> findings;
  bool same = false;
};

}  // namespace pibgen
