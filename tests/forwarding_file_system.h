#pragma once

#include <memory>
#include <span>
#include <string>

#include "file/file_system.h"

namespace pibgen::testing {

// Hands every call to another file system; a test's own file system overrides the calls it
// changes and keeps the rest.
class ForwardingFileSystem : public file::FileSystem {
 public:
  explicit ForwardingFileSystem(file::FileSystem& inner) : inner_(inner) {}

  std::unique_ptr<file::SourceFile> OpenSource(const std::string& path,
                                               file::FileIdentity* identity) override {
    return inner_.OpenSource(path, identity);
  }
  std::unique_ptr<file::ImageReader> OpenImage(const std::string& path) override {
    return inner_.OpenImage(path);
  }
  std::unique_ptr<file::Destination> OpenDestination(
      const std::string& path, std::span<const file::FileIdentity> keep) override {
    return inner_.OpenDestination(path, keep);
  }
  std::unique_ptr<file::ImageFile> CreateScratchFile() override {
    return inner_.CreateScratchFile();
  }
  file::FileIdentity StandardOutput() override { return inner_.StandardOutput(); }
  std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }

 protected:
  file::FileSystem& inner_;
};

}  // namespace pibgen::testing
