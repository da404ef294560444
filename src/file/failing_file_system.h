#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "file/file_system.h"

namespace pibgen::file {

// The kinds of file operation a FailingFileSystem counts.
enum class FileOperation {
  kOpenSource,
  kReadSource,
  kCheckSource,  // whether the description changed while it was read
  kOpenDestination,
  kOpenInPlace,
  kCreateScratch,
  kWrite,  // of bytes or of zeros
  kWriteAt,
  kLength,
  kSeek,
  kFindData,
  kRead,
  kClose,
  kReplace,
};

// Wraps another file system and makes its Nth operation fail, counting from 1: opening the
// description, each read of it and the look at whether it changed; opening the destination,
// the replace and the open in place; creating a scratch file; and every write, positioned
// write, length, seek, data lookup, read and close on any file it hands out. A failing write
// first hands half its bytes on, as a disk that fills up would. With fail_at 0 nothing fails,
// and Operations() tells how many a whole run takes.
class FailingFileSystem final : public FileSystem {
 public:
  FailingFileSystem(FileSystem& inner, uint64_t fail_at) : inner_(inner), fail_at_(fail_at) {}

  uint64_t Operations() const { return operations_; }
  bool HasFailed() const { return failed_; }
  FileOperation FailedOperation() const { return failed_operation_; }

  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageReader> OpenImage(const std::string& path) override {
    return inner_.OpenImage(path);
  }
  std::unique_ptr<Destination> OpenDestination(const std::string& path,
                                               std::span<const FileIdentity> keep) override;
  std::unique_ptr<ImageFile> CreateScratchFile() override;
  FileIdentity StandardOutput() override { return inner_.StandardOutput(); }
  std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }

  // Counts one operation and tells whether it is the one to fail.
  bool FailsNow(FileOperation operation);

 private:
  FileSystem& inner_;
  uint64_t fail_at_;
  uint64_t operations_ = 0;
  bool failed_ = false;
  FileOperation failed_operation_ = FileOperation::kOpenSource;
};

}  // namespace pibgen::file
