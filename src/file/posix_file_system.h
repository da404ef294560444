#pragma once

#include "file/file_system.h"

namespace pibgen::file {

// Files through POSIX calls. A destination that is a regular file, or does not exist yet, is
// replaced: the image is written to a new file in the same folder (without a name where the
// system has O_TMPFILE), given the old file's owner, rights and attributes, and renamed over it
// at the end. Devices, FIFOs, a file mounted on its own, a file whose folder takes no new file
// or refuses the rename, and a file whose owner, rights or ACL a new file could not take are
// written in place, locked against a second run.
class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageReader> OpenImage(const std::string& path) override;
  std::unique_ptr<Destination> OpenDestination(const std::string& path,
                                               std::span<const FileIdentity> keep) override;
  std::unique_ptr<ImageFile> CreateScratchFile() override;
  std::unique_ptr<ImageFile> CreateScratchFileNear(const std::string& path) override;
  FileIdentity StandardOutput() override;
  std::string FullPath(const std::string& path) override;
};

}  // namespace pibgen::file
