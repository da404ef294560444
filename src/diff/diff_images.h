#pragma once

#include <optional>
#include <string>

#include "diff/diff_results.h"
#include "file/file_system.h"

namespace pibgen {

// Compares the image at old_path with the one at new_path, both walked once, front to back
// and side by side, their holes skipped: byte by byte, or with a layout field by field (the
// bytes past the layout's end byte by byte). The differences go to the sink as they are found;
// the result says the rest. A layout is read once, as a conversion reads it, and never held.
DiffResult DiffImages(const std::string& old_path, const std::string& new_path,
                      const std::optional<std::string>& layout_path, file::FileSystem& file_system,
                      DiffSink& sink);

}  // namespace pibgen
