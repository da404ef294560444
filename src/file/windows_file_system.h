#pragma once

#include "file/file_system.h"

namespace pibgen::file {

// Files through the Win32 API, with paths in UTF-8 outside and UTF-16 inside. A destination
// that is a file on disk, or does not exist yet, is replaced: the image is written to a hidden
// file in the same folder, which Windows deletes whenever the process ends until it has
// become the destination, and is then renamed over it. Devices (NUL, CON, COM1...), pipes and
// a file whose folder takes no new file are written in place, held without sharing.
class WindowsFileSystem final : public FileSystem {
 public:
  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageReader> OpenImage(const std::string& path) override;
  std::unique_ptr<Destination> OpenDestination(const std::string& path,
                                               std::span<const FileIdentity> keep) override;
  std::unique_ptr<ImageFile> CreateScratchFile() override;
  FileIdentity StandardOutput() override;
  // As GetFullPathNameW forms it: drive letters, '\' and '/' alike, UNC paths.
  std::string FullPath(const std::string& path) override;
};

}  // namespace pibgen::file
