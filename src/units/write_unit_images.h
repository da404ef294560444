#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalogue.h"
#include "engine/failure.h"
#include "engine/set_value.h"
#include "file/file_system.h"

namespace pibgen {

// Images for a table of units from one description.
struct UnitsRequest {
  std::string description;  // -S
  std::string pattern;      // -D: the destination pattern
  std::string table;        // --units
  std::vector<SetValue> sets;
  bool digests = false;  // whether each image's SHA-256 is wanted
};

// An image in place.
struct WrittenImage {
  uint64_t row = 0;
  std::string_view path;
  uint64_t bytes = 0;
  bool has_checksum = false;
  uint8_t checksum = 0;
  std::string sha256;  // lower-case hex, when digests were asked for
};

// Receives each image as soon as it is in place.
class WrittenImageSink {
 public:
  virtual ~WrittenImageSink() = default;
  virtual void Written(const WrittenImage& image) = 0;
};

struct UnitsOutcome {
  // The description is one a conversion refuses: why, in a conversion's wording.
  Failure description;
  // What refused the run before any image was written: the request, the table's header, its
  // rows, their values and destinations, in the order found.
  std::vector<Finding> refusals;
  uint64_t written = 0;  // images in place
  // The unit whose image could not be written, if one could not: why, its line and its path.
  Failure failure;
  uint32_t line = 0;
  std::string path;
  // The files nothing the run writes may replace: the description, the table and where
  // standard output goes.
  std::vector<file::FileIdentity> inputs;

  bool Good() const { return !description && refusals.empty() && !failure; }
};

// Reads the description once and every row of the table twice: first each row is checked and
// its destination formed, and nothing is written unless all are good; then each unit's image
// is made from the rendered description with the unit's values set, and put in its place whole,
// one by one. A unit whose image cannot be written ends the run; the images before it stay.
UnitsOutcome WriteUnitImages(const UnitsRequest& request, file::FileSystem& file_system,
                             WrittenImageSink& sink);

}  // namespace pibgen
