#include "engine/opened_image.h"

namespace pibgen {

OpenedImage::OpenedImage(const std::string& path, file::FileSystem& file_system)
    : reader_(file_system.OpenImage(path)) {
  uint64_t length = 0;
  if (reader_ && reader_->Length(&length)) cursor_.emplace(*reader_, length);
}

}  // namespace pibgen
