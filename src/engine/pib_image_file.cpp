#include "engine/pib_image_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/image_walk.h"
#include "file/image_cursor.h"
#include "file/path_length.h"

namespace pibgen {
namespace {

// Small enough to stay in the cache while it fills; the file gets a write every 64 KiB.
constexpr size_t kBufferSize = size_t{64} << 10;
// Zero runs at least this long go to the file as such, which may leave a hole for them.
constexpr uint64_t kLongZeroRun = uint64_t{1} << 16;

}  // namespace

bool PibImageFile::Open(const std::string& path, std::span<const file::FileIdentity> keep) {
  using file::CountPathCharacters;
  using file::kMaxPathCharacters;
  if (path.empty() || CountPathCharacters(path) > kMaxPathCharacters) return false;
  try {
    if (CountPathCharacters(file_system_.FullPath(path)) > kMaxPathCharacters) return false;
    buffer_.resize(kBufferSize);
    destination_ = file_system_.OpenDestination(path, keep);
    if (!destination_) return false;
    file_ = destination_->Replacement();
    if (file_ == nullptr) {
      scratch_ = file_system_.CreateScratchFileNear(path);
      file_ = scratch_.get();
    }
  } catch (const std::bad_alloc&) {
    file_ = nullptr;
  }
  if (file_ == nullptr) destination_.reset();
  return file_ != nullptr;
}

bool PibImageFile::Fail(FailureKind fault) {
  if (fault_ == FailureKind::kNone) fault_ = fault;
  return false;
}

bool PibImageFile::DrainBuffer() {
  if (fault_ != FailureKind::kNone || file_ == nullptr) return Fail(FailureKind::kWriteImage);
  // Summed a buffer at a time rather than a field at a time: the same bytes, in order.
  if (summing_) checksum_.Add(buffer_.data(), buffered_);
  try {
    if (buffered_ > 0 && !file_->Write(buffer_.data(), buffered_)) {
      return Fail(FailureKind::kWriteImage);
    }
  } catch (const std::bad_alloc&) {
    return Fail(FailureKind::kWriteImage);
  }
  buffered_ = 0;
  return true;
}

void PibImageFile::Write(const uint8_t* bytes, size_t count) {
  written_ += count;
  if (fault_ != FailureKind::kNone) return;
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
  written_ += count;
  if (fault_ != FailureKind::kNone) return;
  if (count >= kLongZeroRun) {
    if (!DrainBuffer()) return;
    if (summing_) checksum_.AddZeros(count);
    try {
      if (!file_->WriteZeros(count)) Fail(FailureKind::kWriteImage);
    } catch (const std::bad_alloc&) {
      Fail(FailureKind::kWriteImage);
    }
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

bool PibImageFile::Flush() { return DrainBuffer(); }

bool PibImageFile::StampChecksum() {
  if (!DrainBuffer()) return false;
  if (!checksum_.HasChecksum()) return true;
  const uint8_t byte = checksum_.Byte();
  return file_->WriteAt(kChecksumOffset, &byte, 1) || Fail(FailureKind::kWriteImage);
}

bool PibImageFile::CopyInPlace() {
  const std::unique_ptr<file::ImageFile> target = destination_->OpenInPlace();
  if (!target) return Fail(FailureKind::kCreateImage);
  // A disk without room for the image refuses here, before a byte of the old one is lost.
  if (!target->Reserve(written_)) return Fail(FailureKind::kWriteImage);
  file::ImageCursor image(*file_, written_);
  bool copied = true;
  const bool read = ForEachPiece(image, 0, written_, [&](const ImageWalk& piece) {
    copied = piece.Zeros() ? target->WriteZeros(piece.Count())
                           : target->Write(piece.Data(), static_cast<size_t>(piece.Count()));
    return copied;
  });
  if (!read) return Fail(FailureKind::kReadImage);
  if (!copied) return Fail(FailureKind::kWriteImage);
  return target->Close() || Fail(FailureKind::kCloseImage);
}

bool PibImageFile::Close() {
  if (!DrainBuffer()) return false;
  try {
    bool closed = false;
    if (scratch_) {
      closed = CopyInPlace();
    } else if (destination_->Replace()) {
      closed = true;
    } else {
      // A destination whose replacement is refused gets the image the replacement holds.
      closed = destination_->WriteInPlaceInstead() ? CopyInPlace() : Fail(FailureKind::kCloseImage);
    }
    destination_.reset();
    scratch_.reset();
    file_ = nullptr;
    return closed;
  } catch (const std::bad_alloc&) {
    return Fail(FailureKind::kWriteImage);
  }
}

}  // namespace pibgen
