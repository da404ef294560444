#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "file/file_system.h"

namespace pibgen {

// What --check found in a description: its findings in document order, and their counts.
struct CheckResult {
  std::vector<Finding> findings;
  size_t warnings = 0;
  size_t errors = 0;
};

// A table of units to check with the description, and the destination pattern, if any, its
// rows' paths are formed by.
struct UnitsToCheck {
  std::string table;
  std::optional<std::string> pattern;
};

// Loads the description at path and walks it as a conversion would, writing nothing. A
// description that does not load gets that one finding alone. With units, the table's header
// is set against the description's fields and every row checked as a run of units would, each
// finding naming the table and the row's line.
CheckResult CheckDescription(const std::string& path, file::FileSystem& file_system,
                             const std::optional<UnitsToCheck>& units = std::nullopt);

}  // namespace pibgen
