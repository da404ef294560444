#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "file/file_system.h"
#include "format/field_codec.h"

namespace pibgen {

// Which step of producing the image failed first; each has its own message.
enum class ImageFault { kNone, kWrite, kRead, kClose };

// The PIB image being written. Writes collect in a large buffer and reach the file in big
// blocks. A failure is remembered, stops all further writing, and is reported once by the
// conversion; until then callers just write. Reading it back goes through the buffer too.
class PibImageFile final : public file::ImageReader, public ByteSink {
 public:
  explicit PibImageFile(file::FileSystem& file_system) : file_system_(file_system) {}
  // An image still open here was not finished: it is emptied, never left half-written.
  ~PibImageFile() override { Discard(); }
  PibImageFile(const PibImageFile&) = delete;
  PibImageFile& operator=(const PibImageFile&) = delete;

  // Creates or truncates the image at path. Refuses an empty path, one of 260 characters or
  // more, one whose absolute form reaches 260 characters, and the files in `keep`.
  bool Open(const std::string& path, std::span<const file::FileIdentity> keep);
  bool IsOpen() const { return file_ != nullptr; }

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteZeros(uint64_t count) override;

  // Bytes handed to Write and WriteZeros so far.
  uint64_t BytesWritten() const { return bytes_written_; }

  bool Flush();
  // See file::ImageFile::CanReadBack.
  bool CanReadBack() const { return file_ && file_->CanReadBack(); }
  bool Length(uint64_t* length) override;
  bool Seek(uint64_t offset) override;
  bool Read(uint8_t* bytes, size_t count) override;
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override;
  bool Close();
  // After a failure: empties the image and closes it, so nothing half-made looks finished.
  void Discard();

  ImageFault Fault() const { return fault_; }

 private:
  bool Fail(ImageFault fault);
  bool DrainBuffer();

  file::FileSystem& file_system_;
  std::unique_ptr<file::ImageFile> file_;
  std::vector<uint8_t> buffer_;
  size_t buffered_ = 0;
  uint64_t bytes_written_ = 0;
  ImageFault fault_ = ImageFault::kNone;
};

}  // namespace pibgen
