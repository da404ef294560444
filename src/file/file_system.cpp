#include "file/file_system.h"

#include <algorithm>
#include <cstring>

namespace pibgen::file {
namespace {

class WholeInputFile final : public InputFile {
 public:
  explicit WholeInputFile(std::string contents) : contents_(std::move(contents)) {}

  bool Read(uint8_t* data, size_t count, size_t* got) override {
    *got = std::min(count, contents_.size() - position_);
    if (*got > 0) std::memcpy(data, contents_.data() + position_, *got);
    position_ += *got;
    return true;
  }

 private:
  std::string contents_;
  size_t position_ = 0;
};

}  // namespace

std::unique_ptr<InputFile> FileSystem::OpenForReading(const std::string& path) {
  std::string contents;
  FileIdentity identity;
  if (!ReadWholeFile(path, &contents, &identity)) return nullptr;
  return std::make_unique<WholeInputFile>(std::move(contents));
}

}  // namespace pibgen::file
