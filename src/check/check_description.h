#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "file/file_system.h"
#include "engine/catalogue.h"

namespace pibgen {

// What --check found in a description: its findings in document order, and their counts.
struct CheckResult {
  std::vector<Finding> findings;
  size_t warnings = 0;
  size_t errors = 0;
};

// Loads the description at path and walks it as a conversion would, writing nothing. A
// description that does not load gets that one finding alone.
CheckResult CheckDescription(const std::string& path, file::FileSystem& file_system);

}  // namespace pibgen
