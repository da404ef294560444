#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/failure.h"
#include "file/file_system.h"
#include "format/checksum.h"
#include "format/field_codec.h"

namespace pibgen {

// The PIB image being made. It is written to a new file beside the destination (or, for a
// destination written in place, to a scratch file), and only Close puts it in the
// destination's place, whole: until then the destination keeps its old content, and an image
// dropped unclosed leaves nothing behind. Writes collect in a large buffer and reach the file
// in big blocks; the checksum is summed as they pass. A failure is remembered, stops all
// further writing, and is reported once by the conversion; until then callers just write.
class PibImageFile final : public ByteSink {
 public:
  explicit PibImageFile(file::FileSystem& file_system) : file_system_(file_system) {}
  PibImageFile(const PibImageFile&) = delete;
  PibImageFile& operator=(const PibImageFile&) = delete;

  // Prepares an image for path. Refuses an empty path, one of 260 characters or more, one
  // whose absolute form reaches 260 characters, and what the file system refuses, such as the
  // files in `keep`.
  bool Open(const std::string& path, std::span<const file::FileIdentity> keep);

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteZeros(uint64_t count) override;

  // For a caller that writes the checksum byte itself, already known: the bytes are then not
  // summed on the way, and StampChecksum is not to be called.
  void ChecksumKnown() { summing_ = false; }

  // Hands the buffered bytes to the file.
  bool Flush();
  // Stores the checksum byte of the bytes written at kChecksumOffset, replacing the field byte
  // there; an image too short to have one is left as it is.
  bool StampChecksum();
  // Puts the image in the destination's place.
  bool Close();

  // What failed first: kWriteImage, kReadImage, kCreateImage or kCloseImage; kNone so far.
  FailureKind Fault() const { return fault_; }

 private:
  bool Fail(FailureKind fault);
  bool DrainBuffer();
  // For a destination written in place: the image, from the scratch file to the destination.
  bool CopyInPlace();

  file::FileSystem& file_system_;
  std::unique_ptr<file::Destination> destination_;
  std::unique_ptr<file::ImageFile> scratch_;  // the image, when written in place at the end
  file::ImageFile* file_ = nullptr;           // where the image is written now
  std::vector<uint8_t> buffer_;
  size_t buffered_ = 0;
  uint64_t written_ = 0;
  ImageChecksum checksum_;  // of what has left the buffer
  bool summing_ = true;
  FailureKind fault_ = FailureKind::kNone;
};

}  // namespace pibgen
