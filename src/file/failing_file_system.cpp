#include "file/failing_file_system.h"

namespace pibgen::file {

class FailingSourceFile final : public SourceFile {
 public:
  FailingSourceFile(FailingFileSystem& owner, std::unique_ptr<SourceFile> inner)
      : owner_(owner), inner_(std::move(inner)) {}

  ptrdiff_t Read(char* data, size_t count) override {
    return owner_.FailsNow(FileOperation::kReadSource) ? -1 : inner_->Read(data, count);
  }

 private:
  FailingFileSystem& owner_;
  std::unique_ptr<SourceFile> inner_;
};

class FailingImageFile final : public ImageFile {
 public:
  FailingImageFile(FailingFileSystem& owner, std::unique_ptr<ImageFile> inner)
      : owner_(owner), inner_(std::move(inner)) {}

  bool Write(const uint8_t* data, size_t count) override {
    if (owner_.FailsNow(FileOperation::kWrite)) {
      (void)inner_->Write(data, count / 2);
      return false;
    }
    return inner_->Write(data, count);
  }
  bool WriteZeros(uint64_t count) override {
    if (owner_.FailsNow(FileOperation::kWrite)) {
      (void)inner_->WriteZeros(count / 2);
      return false;
    }
    return inner_->WriteZeros(count);
  }
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    return !owner_.FailsNow(FileOperation::kFindData) && inner_->FindData(offset, begin, end);
  }
  bool CanReadBack() const override { return inner_->CanReadBack(); }
  bool Flush() override { return !owner_.FailsNow(FileOperation::kFlush) && inner_->Flush(); }
  bool Length(uint64_t* length) override {
    return !owner_.FailsNow(FileOperation::kLength) && inner_->Length(length);
  }
  bool Seek(uint64_t offset) override {
    return !owner_.FailsNow(FileOperation::kSeek) && inner_->Seek(offset);
  }
  bool Read(uint8_t* data, size_t count) override {
    return !owner_.FailsNow(FileOperation::kRead) && inner_->Read(data, count);
  }
  bool Close() override {
    if (owner_.FailsNow(FileOperation::kClose)) {
      inner_->Discard();
      return false;
    }
    return inner_->Close();
  }
  void Discard() override { inner_->Discard(); }

 private:
  FailingFileSystem& owner_;
  std::unique_ptr<ImageFile> inner_;
};

bool FailingFileSystem::FailsNow(FileOperation operation) {
  ++operations_;
  if (operations_ != fail_at_) return false;
  failed_ = true;
  failed_operation_ = operation;
  return true;
}

bool FailingFileSystem::ReadWholeFile(const std::string& path, std::string* contents,
                                      FileIdentity* identity) {
  return !FailsNow(FileOperation::kOpenSource) && inner_.ReadWholeFile(path, contents, identity);
}

std::unique_ptr<SourceFile> FailingFileSystem::OpenSource(const std::string& path,
                                                          FileIdentity* identity) {
  if (FailsNow(FileOperation::kOpenSource)) return nullptr;
  std::unique_ptr<SourceFile> inner = inner_.OpenSource(path, identity);
  if (!inner) return nullptr;
  return std::make_unique<FailingSourceFile>(*this, std::move(inner));
}

std::unique_ptr<ImageFile> FailingFileSystem::CreateImage(const std::string& path,
                                                          std::span<const FileIdentity> keep) {
  if (FailsNow(FileOperation::kCreateImage)) return nullptr;
  std::unique_ptr<ImageFile> inner = inner_.CreateImage(path, keep);
  if (!inner) return nullptr;
  return std::make_unique<FailingImageFile>(*this, std::move(inner));
}

}  // namespace pibgen::file
