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

}  // namespace

std::unique_ptr<SourceFile> FileSystem::OpenSource(const std::string& path,
                                                   FileIdentity* identity) {
  std::string contents;
  FileIdentity unused;
  if (!ReadWholeFile(path, &contents, identity != nullptr ? identity : &unused)) return nullptr;
  return std::make_unique<WholeSourceFile>(std::move(contents));
}

}  // namespace pibgen::file
