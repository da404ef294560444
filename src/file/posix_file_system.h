#pragma once

#include "file/file_system.h"

namespace pibgen::file {

class PosixFileSystem final : public FileSystem {
 public:
  bool ReadWholeFile(const std::string& path, std::string* contents,
                     FileIdentity* identity) override;
  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageReader> OpenImage(const std::string& path) override;
  std::unique_ptr<ImageFile> CreateImage(const std::string& path,
                                         std::span<const FileIdentity> keep) override;
  FileIdentity StandardOutput() override;
  std::string CurrentDirectory() override;
};

}  // namespace pibgen::file
