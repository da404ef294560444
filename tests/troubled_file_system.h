#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "file/memory_file_system.h"
#include "forwarding_file_system.h"

namespace pibgen::testing {

// Memory files of which a description is written to as soon as it is first read (when
// changes), and which may have no scratch file to give.
class TroubledFiles final : public testing::ForwardingFileSystem {
 public:
  TroubledFiles(file::MemoryFileSystem& files, bool changes, bool scratch)
      : ForwardingFileSystem(files), files_(files), changes_(changes), scratch_(scratch) {}

  std::unique_ptr<file::SourceFile> OpenSource(const std::string& path,
                                               file::FileIdentity* identity) override {
    class Source final : public file::SourceFile {
     public:
      Source(std::unique_ptr<file::SourceFile> inner, std::function<void()> touch)
          : inner_(std::move(inner)), touch_(std::move(touch)) {}
      ptrdiff_t Read(char* data, size_t count) override {
        if (touch_) std::exchange(touch_, nullptr)();
        return inner_->Read(data, count);
      }
      bool Changed() override { return inner_->Changed(); }

     private:
      std::unique_ptr<file::SourceFile> inner_;
      std::function<void()> touch_;
    };
    auto inner = inner_.OpenSource(path, identity);
    if (!inner || !changes_) return inner;
    return std::make_unique<Source>(std::move(inner),
                                    [this, path] { files_.SetFile(path, files_.File(path)); });
  }
  std::unique_ptr<file::ImageFile> CreateScratchFile() override {
    return scratch_ ? inner_.CreateScratchFile() : nullptr;
  }

 private:
  file::MemoryFileSystem& files_;
  bool changes_;
  bool scratch_;
};

}  // namespace pibgen::testing
