#include "file/memory_file_system.h"

#include <cstring>

namespace pibgen::file {

class MemoryImageFile final : public ImageFile {
 public:
  MemoryImageFile(MemoryFileSystem& owner, std::string path, std::shared_ptr<std::string> data)
      : owner_(owner), path_(std::move(path)), data_(std::move(data)) {}
  ~MemoryImageFile() override { Release(); }
  MemoryImageFile(const MemoryImageFile&) = delete;
  MemoryImageFile& operator=(const MemoryImageFile&) = delete;

  bool Write(const uint8_t* bytes, size_t count) override {
    if (!open_) return false;
    if (data_->size() < position_ + count) data_->resize(position_ + count);
    if (count > 0) std::memcpy(data_->data() + position_, bytes, count);
    position_ += count;
    return true;
  }
  bool Flush() override { return open_; }
  bool Length(uint64_t* length) override {
    *length = data_->size();
    return open_;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return open_;
  }
  bool Read(uint8_t* bytes, size_t count) override {
    if (!open_ || position_ + count > data_->size()) return false;
    if (count > 0) std::memcpy(bytes, data_->data() + position_, count);
    position_ += count;
    return true;
  }
  bool Close() override {
    const bool was_open = open_;
    Release();
    return was_open;
  }
  void Discard() override {
    data_->clear();
    Release();
  }

 private:
  void Release() {
    if (open_) owner_.locked_.erase(path_);
    open_ = false;
  }

  MemoryFileSystem& owner_;
  std::string path_;
  std::shared_ptr<std::string> data_;
  uint64_t position_ = 0;
  bool open_ = true;
};

void MemoryFileSystem::SetFile(const std::string& path, std::string contents) {
  files_[path] = std::make_shared<std::string>(std::move(contents));
  versions_[path] = ++last_version_;
}

FileIdentity MemoryFileSystem::IdentityOf(const std::string& path) const {
  FileIdentity identity;
  identity.known = true;
  identity.inode = std::hash<std::string>()(path);
  const auto found = files_.find(path);
  if (found != files_.end()) identity.size = found->second->size();
  const auto version = versions_.find(path);
  if (version != versions_.end()) identity.modified_ns = identity.changed_ns = version->second;
  return identity;
}

bool MemoryFileSystem::ReadWholeFile(const std::string& path, std::string* contents,
                                     FileIdentity* identity) {
  auto found = files_.find(path);
  if (found == files_.end()) return false;
  *contents = *found->second;
  *identity = IdentityOf(path);
  return true;
}

std::unique_ptr<ImageFile> MemoryFileSystem::CreateImage(const std::string& path,
                                                         std::span<const FileIdentity> keep) {
  if (path.empty() || locked_.count(path) != 0) return nullptr;
  const FileIdentity identity = IdentityOf(path);
  for (const FileIdentity& kept : keep) {
    if (kept.known && kept.inode == identity.inode && files_.count(path) != 0) return nullptr;
  }
  auto& data = files_[path];
  if (!data) data = std::make_shared<std::string>();
  data->clear();
  locked_.insert(path);
  return std::make_unique<MemoryImageFile>(*this, path, data);
}

}  // namespace pibgen::file
