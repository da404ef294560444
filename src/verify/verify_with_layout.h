#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "file/file_system.h"

namespace pibgen {

// A field whose bytes in the image differ from the layout's (the checksum byte aside). A field
// of up to 8 bytes is shown whole; of a longer one, the 8 bytes from the first that differs.
struct FieldDifference {
  Finding finding;  // field-differs, with the field, its name and the shown bytes
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string type;        // the type text
  uint64_t differing = 0;  // how many bytes differ
  uint64_t first = 0;      // the offset of the first
  // The shown bytes as --decode writes a value: a numeric field shown whole in decimal, else
  // hex, two digits a byte.
  std::string image;
  std::string layout;
};

// Receives each field that differs as the comparison finds it, in layout order but for the
// field over the checksum byte (offset 2): it shows the description's checksum byte, known
// only once the whole layout is read, and comes after the others. All of them are about the
// layout only if the comparison does not end with a refusal or layout-changed.
class DifferenceSink {
 public:
  virtual ~DifferenceSink() = default;
  virtual void FieldDiffers(const FieldDifference& difference) = 0;
};

// What the comparison found beyond the fields.
struct LayoutComparison {
  // The layout is one a conversion refuses: why, at a line of the layout.
  std::optional<Finding> refusal;
  // After the fields, in order: a length that differs and a checksum byte that differs
  // (checksum-mismatch, in its other wording); or that they match; or why the comparison
  // stopped (the image cannot be read, the layout changed while it was read).
  std::vector<Finding> findings;
  bool equal = false;
  bool opened = false;         // the image could be opened; then its length is known
  uint32_t fields = 0;         // the layout's
  uint64_t length = 0;         // the image's
  uint64_t layout_length = 0;  // the layout's
  bool has_checksum = false;   // both are long enough to carry a checksum byte; then:
  uint8_t stored = 0;          // the image's
  uint8_t computed = 0;        // the layout's
};

// Builds the image the layout describes, field by field in memory (no file is written), and
// compares it with the image at image_path, which is read in pieces with its holes skipped.
// The layout and the image are each read once, front to back.
LayoutComparison VerifyWithLayout(const std::string& image_path, const std::string& layout_path,
                                  file::FileSystem& file_system, DifferenceSink& sink);

}  // namespace pibgen
