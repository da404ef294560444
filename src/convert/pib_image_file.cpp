#include "convert/pib_image_file.h"

#include <algorithm>
#include <cstring>

#include "file/path_length.h"
#include "format/field_types.h"

namespace pibgen {
namespace {

constexpr size_t kBufferSize = size_t{1} << 20;
// Zero runs at least this long go to the file as such, which may leave a hole for them.
constexpr uint64_t kLongZeroRun = uint64_t{1} << 16;

}  // namespace

bool PibImageFile::Open(const std::string& path, std::span<const file::FileIdentity> keep) {
  if (path.empty() || file::CountPathCharacters(path) > file::kMaxPathCharacters) return false;
  const std::string absolute = file::AbsolutePathLexically(path, file_system_.CurrentDirectory());
  if (file::CountPathCharacters(absolute) > file::kMaxPathCharacters) return false;
  // The buffer comes first: running out of memory for it must not cost an existing file.
  buffer_.resize(kBufferSize);
  file_ = file_system_.CreateImage(path, keep);
  if (!file_) return false;
  buffered_ = 0;
  bytes_written_ = 0;
  fault_ = ImageFault::kNone;
  return true;
}

bool PibImageFile::Fail(ImageFault fault) {
  if (fault_ == ImageFault::kNone) fault_ = fault;
  return false;
}

bool PibImageFile::DrainBuffer() {
  if (fault_ != ImageFault::kNone || !file_) return Fail(ImageFault::kWrite);
  if (buffered_ > 0 && !file_->Write(buffer_.data(), buffered_)) return Fail(ImageFault::kWrite);
  buffered_ = 0;
  return true;
}

void PibImageFile::Write(const uint8_t* bytes, size_t count) {
  bytes_written_ += count;
  if (fault_ != ImageFault::kNone) return;
  while (count > 0) {
    if (buffered_ == buffer_.size() && !DrainBuffer()) return;
    const size_t take = std::min(count, buffer_.size() - buffered_);
    std::memcpy(buffer_.data() + buffered_, bytes, take);
    buffered_ += take;
    bytes += take;
    count -= take;
  }
}

void PibImageFile::WriteZeros(uint64_t count) {
  bytes_written_ += count;
  if (fault_ != ImageFault::kNone) return;
  if (count >= kLongZeroRun) {
    if (DrainBuffer() && !file_->WriteZeros(count)) Fail(ImageFault::kWrite);
    return;
  }
  while (count > 0) {
    if (buffered_ == buffer_.size() && !DrainBuffer()) return;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(count, buffer_.size() - buffered_));
    std::memset(buffer_.data() + buffered_, 0, take);
    buffered_ += take;
    count -= take;
  }
}

bool PibImageFile::Flush() {
  if (!DrainBuffer()) return false;
  return file_->Flush() || Fail(ImageFault::kWrite);
}

bool PibImageFile::Length(uint64_t* length) {
  if (fault_ != ImageFault::kNone || !file_) return Fail(ImageFault::kRead);
  return file_->Length(length) || Fail(ImageFault::kRead);
}

bool PibImageFile::Seek(uint64_t offset) {
  if (!DrainBuffer()) return false;
  return file_->Seek(offset) || Fail(ImageFault::kRead);
}

bool PibImageFile::Read(uint8_t* bytes, size_t count) {
  if (!DrainBuffer()) return false;
  return file_->Read(bytes, count) || Fail(ImageFault::kRead);
}

bool PibImageFile::FindData(uint64_t offset, uint64_t* begin, uint64_t* end) {
  if (!DrainBuffer()) return false;
  return file_->FindData(offset, begin, end) || Fail(ImageFault::kRead);
}

bool PibImageFile::Close() {
  if (!DrainBuffer()) return false;
  const bool closed = file_->Close();
  file_.reset();
  buffer_ = std::vector<uint8_t>();
  return closed || Fail(ImageFault::kClose);
}

void PibImageFile::Discard() {
  if (file_) file_->Discard();
  file_.reset();
  buffer_ = std::vector<uint8_t>();
}

}  // namespace pibgen
