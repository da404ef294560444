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
  kCreateImage,
  kWrite,
  kFlush,
  kLength,
  kSeek,
  kFindData,
  kRead,
  kClose
};

// Wraps another file system and makes its Nth operation fail, counting from 1: opening the
// description or the image, every read of the description, and every write (of bytes or of
// zeros), flush, length, seek, data lookup, read and close on the image.
// A failing write first hands half its bytes on, as a disk that fills up would; a failing close
// empties the file, as the interface promises. With fail_at 0 nothing fails, and Operations()
// tells how many a whole run takes.
class FailingFileSystem final : public FileSystem {
 public:
  FailingFileSystem(FileSystem& inner, uint64_t fail_at) : inner_(inner), fail_at_(fail_at) {}

  uint64_t Operations() const { return operations_; }
  bool HasFailed() const { return failed_; }
  FileOperation FailedOperation() const { return failed_operation_; }

  bool ReadWholeFile(const std::string& path, std::string* contents,
                     FileIdentity* identity) override;
  std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity) override;
  std::unique_ptr<ImageFile> CreateImage(const std::string& path,
                                         std::span<const FileIdentity> keep) override;
  FileIdentity StandardOutput() override { return inner_.StandardOutput(); }
  std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }

 private:
  friend class FailingImageFile;
  friend class FailingSourceFile;
  // Counts one operation and tells whether it is the one to fail.
  bool FailsNow(FileOperation operation);

  FileSystem& inner_;
  uint64_t fail_at_;
  uint64_t operations_ = 0;
  bool failed_ = false;
  FileOperation failed_operation_ = FileOperation::kOpenSource;
};

}  // namespace pibgen::file
