#include "file/failing_file_system.h"

namespace pibgen::file {
namespace {

class FailingSourceFile final : public SourceFile {
 public:
  FailingSourceFile(FailingFileSystem& owner, std::unique_ptr<SourceFile> inner)
      : owner_(owner), inner_(std::move(inner)) {}

  ptrdiff_t Read(char* data, size_t count) override {
    return owner_.FailsNow(FileOperation::kReadSource) ? -1 : inner_->Read(data, count);
  }
  bool Changed() override {
    return owner_.FailsNow(FileOperation::kCheckSource) || inner_->Changed();
  }

 private:
  FailingFileSystem& owner_;
  std::unique_ptr<SourceFile> inner_;
};

class FailingFile final : public ImageFile {
 public:
  // Wraps inner, owned or not.
  FailingFile(FailingFileSystem& owner, ImageFile& inner) : owner_(owner), inner_(inner) {}
  FailingFile(FailingFileSystem& owner, std::unique_ptr<ImageFile> inner)
      : owner_(owner), inner_(*inner), owned_(std::move(inner)) {}

  bool Write(const uint8_t* data, size_t count) override {
    if (owner_.FailsNow(FileOperation::kWrite)) {
      (void)inner_.Write(data, count / 2);
      return false;
    }
    return inner_.Write(data, count);
  }
  bool WriteZeros(uint64_t count) override {
    if (owner_.FailsNow(FileOperation::kWrite)) {
      (void)inner_.WriteZeros(count / 2);
      return false;
    }
    return inner_.WriteZeros(count);
  }
  bool Reserve(uint64_t length) override { return inner_.Reserve(length); }
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
    return !owner_.FailsNow(FileOperation::kWriteAt) && inner_.WriteAt(offset, data, count);
  }
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    return !owner_.FailsNow(FileOperation::kFindData) && inner_.FindData(offset, begin, end);
  }
  bool Length(uint64_t* length) override {
    return !owner_.FailsNow(FileOperation::kLength) && inner_.Length(length);
  }
  bool Seek(uint64_t offset) override {
    return !owner_.FailsNow(FileOperation::kSeek) && inner_.Seek(offset);
  }
  bool Read(uint8_t* data, size_t count) override {
    return !owner_.FailsNow(FileOperation::kRead) && inner_.Read(data, count);
  }
  // A close that fails leaves the file as if dropped: one written in place is emptied.
  bool Close() override { return !owner_.FailsNow(FileOperation::kClose) && inner_.Close(); }

 private:
  FailingFileSystem& owner_;
  ImageFile& inner_;
  std::unique_ptr<ImageFile> owned_;
};

class FailingDestination final : public Destination {
 public:
  FailingDestination(FailingFileSystem& owner, std::unique_ptr<Destination> inner)
      : owner_(owner), inner_(std::move(inner)) {
    if (ImageFile* replacement = inner_->Replacement()) {
      replacement_ = std::make_unique<FailingFile>(owner_, *replacement);
    }
  }

  ImageFile* Replacement() override { return replacement_.get(); }
  bool Replace() override { return !owner_.FailsNow(FileOperation::kReplace) && inner_->Replace(); }
  bool WriteInPlaceInstead() override { return inner_->WriteInPlaceInstead(); }
  std::unique_ptr<ImageFile> OpenInPlace() override {
    if (owner_.FailsNow(FileOperation::kOpenInPlace)) return nullptr;
    std::unique_ptr<ImageFile> file = inner_->OpenInPlace();
    if (!file) return nullptr;
    return std::make_unique<FailingFile>(owner_, std::move(file));
  }

 private:
  FailingFileSystem& owner_;
  std::unique_ptr<Destination> inner_;
  std::unique_ptr<FailingFile> replacement_;
};

}  // namespace

bool FailingFileSystem::FailsNow(FileOperation operation) {
  ++operations_;
  if (operations_ != fail_at_) return false;
  failed_ = true;
  failed_operation_ = operation;
  return true;
}

std::unique_ptr<SourceFile> FailingFileSystem::OpenSource(const std::string& path,
                                                          FileIdentity* identity) {
  if (FailsNow(FileOperation::kOpenSource)) return nullptr;
  std::unique_ptr<SourceFile> inner = inner_.OpenSource(path, identity);
  if (!inner) return nullptr;
  return std::make_unique<FailingSourceFile>(*this, std::move(inner));
}

std::unique_ptr<Destination> FailingFileSystem::OpenDestination(
    const std::string& path, std::span<const FileIdentity> keep) {
  if (FailsNow(FileOperation::kOpenDestination)) return nullptr;
  std::unique_ptr<Destination> inner = inner_.OpenDestination(path, keep);
  if (!inner) return nullptr;
  return std::make_unique<FailingDestination>(*this, std::move(inner));
}

std::unique_ptr<ImageFile> FailingFileSystem::CreateScratchFile() {
  if (FailsNow(FileOperation::kCreateScratch)) return nullptr;
  std::unique_ptr<ImageFile> inner = inner_.CreateScratchFile();
  if (!inner) return nullptr;
  return std::make_unique<FailingFile>(*this, std::move(inner));
}

}  // namespace pibgen::file
