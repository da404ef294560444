#include "file/memory_file_system.h"

#include <algorithm>
#include <cstring>

namespace pibgen::file {

// A file's bytes in memory. Written in place, it is emptied when dropped unclosed.
class MemoryFile final : public ImageFile {
 public:
  explicit MemoryFile(std::shared_ptr<std::string> data, bool in_place = false)
      : data_(std::move(data)), in_place_(in_place) {}
  ~MemoryFile() override {
    if (open_ && in_place_) data_->clear();
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool Write(const uint8_t* bytes, size_t count) override {
    if (!WriteAt(position_, bytes, count)) return false;
    position_ += count;
    return true;
  }
  bool WriteAt(uint64_t offset, const uint8_t* bytes, size_t count) override {
    if (!open_) return false;
    if (data_->size() < offset + count) data_->resize(offset + count);
    if (count > 0) std::memcpy(data_->data() + offset, bytes, count);
    return true;
  }
  bool Length(uint64_t* length) override {
    *length = data_->size();
    return open_;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return open_;
  }
  bool Read(uint8_t* bytes, size_t count) override {
    if (!open_ || position_ > data_->size() || count > data_->size() - position_) return false;
    if (count > 0) std::memcpy(bytes, data_->data() + position_, count);
    position_ += count;
    return true;
  }
  bool Close() override {
    const bool was_open = open_;
    open_ = false;
    return was_open;
  }

 private:
  std::shared_ptr<std::string> data_;
  uint64_t position_ = 0;
  bool open_ = true;
  bool in_place_;
};

class MemorySourceFile final : public SourceFile {
 public:
  MemorySourceFile(MemoryFileSystem& owner, std::string path)
      : owner_(owner),
        path_(std::move(path)),
        contents_(*owner.files_.at(path_)),
        identity_(owner.IdentityOf(path_)) {}

  ptrdiff_t Read(char* data, size_t count) override {
    const size_t take = std::min(count, contents_.size() - position_);
    contents_.copy(data, take, position_);
    position_ += take;
    return static_cast<ptrdiff_t>(take);
  }
  bool Changed() override { return !(owner_.IdentityOf(path_) == identity_); }

 private:
  MemoryFileSystem& owner_;
  std::string path_;
  std::string contents_;
  size_t position_ = 0;
  FileIdentity identity_;
};

class MemoryDestination final : public Destination {
 public:
  MemoryDestination(MemoryFileSystem& owner, std::string path, bool in_place)
      : owner_(owner), path_(std::move(path)), in_place_(in_place) {
    if (in_place_) {
      owner_.locked_.insert(path_);
    } else {
      replacement_ = std::make_unique<MemoryFile>(data_);
    }
  }
  ~MemoryDestination() override {
    if (in_place_) owner_.locked_.erase(path_);
  }
  MemoryDestination(const MemoryDestination&) = delete;
  MemoryDestination& operator=(const MemoryDestination&) = delete;

  ImageFile* Replacement() override { return replacement_.get(); }
  bool Replace() override {
    if (!replacement_ || !replacement_->Close()) return false;
    owner_.files_[path_] = data_;
    owner_.versions_[path_] = ++owner_.last_version_;
    replacement_.reset();
    return true;
  }
  std::unique_ptr<ImageFile> OpenInPlace() override {
    if (!in_place_) return nullptr;
    auto& data = owner_.files_[path_];
    if (!data) data = std::make_shared<std::string>();
    data->clear();
    return std::make_unique<MemoryFile>(data, true);
  }

 private:
  MemoryFileSystem& owner_;
  std::string path_;
  bool in_place_;
  std::shared_ptr<std::string> data_ = std::make_shared<std::string>();
  std::unique_ptr<MemoryFile> replacement_;
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

std::unique_ptr<SourceFile> MemoryFileSystem::OpenSource(const std::string& path,
                                                         FileIdentity* identity) {
  if (files_.count(path) == 0) return nullptr;
  if (identity != nullptr) *identity = IdentityOf(path);
  return std::make_unique<MemorySourceFile>(*this, path);
}

std::unique_ptr<ImageReader> MemoryFileSystem::OpenImage(const std::string& path) {
  const auto found = files_.find(path);
  if (found == files_.end()) return nullptr;
  return std::make_unique<MemoryFile>(std::make_shared<std::string>(*found->second));
}

std::unique_ptr<Destination> MemoryFileSystem::OpenDestination(const std::string& path,
                                                               std::span<const FileIdentity> keep) {
  if (path.empty() || locked_.count(path) != 0) return nullptr;
  if (files_.count(path) != 0) {
    if (IsAnyOf(IdentityOf(path), keep)) return nullptr;
  }
  return std::make_unique<MemoryDestination>(*this, path, in_place_.count(path) != 0);
}

std::unique_ptr<ImageFile> MemoryFileSystem::CreateScratchFile() {
  return std::make_unique<MemoryFile>(std::make_shared<std::string>());
}

}  // namespace pibgen::file
