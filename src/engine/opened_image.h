#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "file/file_system.h"
#include "file/image_cursor.h"

namespace pibgen {

// An existing image opened to be verified or decoded: read in pieces through its cursor, its
// holes skipped, so neither its size nor memory bounds the work. An image that cannot be
// opened, or whose length cannot be told, is not opened; a verify or a decode then reports
// cannot-read-image, as it does for a read that fails later.
class OpenedImage {
 public:
  OpenedImage(const std::string& path, file::FileSystem& file_system);

  bool Opened() const { return cursor_.has_value(); }
  // Only when opened:
  file::ImageCursor& Cursor() { return *cursor_; }
  uint64_t Length() const { return cursor_->Length(); }

 private:
  std::unique_ptr<file::ImageReader> reader_;
  std::optional<file::ImageCursor> cursor_;
};

}  // namespace pibgen
