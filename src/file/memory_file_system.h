#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "file/file_system.h"
#include "file/path_length.h"

namespace pibgen::file {

// Files held in memory, for tests and the fuzzer: a conversion runs whole without touching
// the disk. Paths are plain keys; a file's identity is its key, and each SetFile counts as a
// modification. Destinations are replaced whole, but those marked to be written in place,
// which are locked while written.
class MemoryFileSystem final : public FileSystem {
 public:
  void SetFile(const std::string& path, std::string contents);
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }
  const std::string& File(const std::string& path) const { return *files_.at(path); }
  // Makes path a destination written in place, as a device or a file in a folder that takes
  // no new file is.
  void MarkInPlace(const std::string& path) { in_place_.insert(path); }

  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageReader> OpenImage(const std::string& path) override;
  std::unique_ptr<Destination> OpenDestination(const std::string& path,
                                               std::span<const FileIdentity> keep) override;
  std::unique_ptr<ImageFile> CreateScratchFile() override;
  // Paths are taken as relative to "/".
  std::string FullPath(const std::string& path) override {
    return AbsolutePathLexically(path, "/");
  }

 private:
  friend class MemoryDestination;
  friend class MemorySourceFile;
  FileIdentity IdentityOf(const std::string& path) const;

  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::map<std::string, int64_t> versions_;
  int64_t last_version_ = 0;
  std::set<std::string> in_place_;
  std::set<std::string> locked_;
};

}  // namespace pibgen::file
