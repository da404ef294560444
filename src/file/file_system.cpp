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
class WholeImageReader final : public ImageReader {
 public:
  explicit WholeImageReader(std::string contents) : contents_(std::move(contents)) {}

  bool Length(uint64_t* length) override {
    *length = contents_.size();
    return true;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  bool Read(uint8_t* data, size_t count) override {
    if (position_ > contents_.size() || count > contents_.size() - position_) return false;
    contents_.copy(reinterpret_cast<char*>(data), count, static_cast<size_t>(position_));
    position_ += count;
    return true;
  }

 private:
  std::string contents_;
  uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<SourceFile> FileSystem::OpenSource(const std::string& path,
                                                   FileIdentity* identity) {
  std::string contents;
  FileIdentity unused;
  if (!ReadWholeFile(path, &contents, identity != nullptr ? identity : &unused)) return nullptr;
  return std::make_unique<WholeSourceFile>(std::move(contents));
}

std::unique_ptr<ImageReader> FileSystem::OpenImage(const std::string& path) {
  const std::unique_ptr<SourceFile> source = OpenSource(path, nullptr);
  if (!source) return nullptr;
  std::string contents;
  char block[1 << 16];
  for (ptrdiff_t got; (got = source->Read(block, sizeof block)) != 0;) {
    if (got < 0) return nullptr;
    contents.append(block, static_cast<size_t>(got));
  }
  return std::make_unique<WholeImageReader>(std::move(contents));
}

}  // namespace pibgen::file
