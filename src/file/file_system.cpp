#include "file/file_system.h"

#include <algorithm>

namespace pibgen::file {
namespace {

// A whole file already in memory, handed out in pieces.
class WholeSourceFile final : public SourceFile {
 public:
  explicit WholeSourceFile(std::string contents) : contents_(std::move(contents)) {}

  ptrdiff_t Read(char* data, size_t count) override {
    const size_t take = std::min(count, contents_.size() - position_);
    contents_.copy(data, take, position_);
    position_ += take;
    return static_cast<ptrdiff_t>(take);
  }

 private:
  std::string contents_;
  size_t position_ = 0;
};

// A whole image already in memory.
class WholeImageSource final : public ImageSource {
 public:
  explicit WholeImageSource(std::string contents) : contents_(std::move(contents)) {}

  bool Length(uint64_t* length) override {
    *length = contents_.size();
    return true;
  }
  bool ReadAt(uint64_t offset, uint8_t* data, size_t count) override {
    if (offset > contents_.size() || count > contents_.size() - offset) return false;
    contents_.copy(reinterpret_cast<char*>(data), count, static_cast<size_t>(offset));
    return true;
  }

 private:
  std::string contents_;
};

}  // namespace

bool ImageSource::FindData(uint64_t offset, uint64_t* begin, uint64_t* end) {
  uint64_t length = 0;
  if (!Length(&length)) return false;
  *begin = std::min(offset, length);
  *end = length;
  return true;
}

std::unique_ptr<ImageSource> FileSystem::OpenImageSource(const std::string& path) {
  std::string contents;
  FileIdentity unused;
  if (!ReadWholeFile(path, &contents, &unused)) return nullptr;
  return std::make_unique<WholeImageSource>(std::move(contents));
}

std::unique_ptr<SourceFile> FileSystem::OpenSource(const std::string& path,
                                                   FileIdentity* identity) {
  std::string contents;
  FileIdentity unused;
  if (!ReadWholeFile(path, &contents, identity != nullptr ? identity : &unused)) return nullptr;
  return std::make_unique<WholeSourceFile>(std::move(contents));
}

}  // namespace pibgen::file
