#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "file/file_system.h"

namespace pibgen::file {

// Files held in memory, for tests and the fuzzer: a conversion runs whole without touching
// the disk. Paths are plain keys; a file's identity is its key, and each SetFile counts as a
// modification.
class MemoryFileSystem final : public FileSystem {
 public:
  void SetFile(const std::string& path, std::string contents);
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }
  const std::string& File(const std::string& path) const { return *files_.at(path); }

  bool ReadWholeFile(const std::string& path, std::string* contents,
                     FileIdentity* identity) override;
  std::unique_ptr<ImageFile> CreateImage(const std::string& path,
                                         std::span<const FileIdentity> keep) override;
  std::string CurrentDirectory() override { return "/"; }

 private:
  friend class MemoryImageFile;
  FileIdentity IdentityOf(const std::string& path) const;

  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::map<std::string, int64_t> versions_;
  int64_t last_version_ = 0;
  std::set<std::string> locked_;
};

}  // namespace pibgen::file
