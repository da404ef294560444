#include "file/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "file/empty_image_on_signal.h"

namespace pibgen::file {
namespace {

// For calls on failure paths where a further failure changes nothing. A (void) cast does not
// quiet GCC's warn_unused_result, which _FORTIFY_SOURCE puts on calls such as ftruncate.
void IgnoreFailure(int /*status*/) {}

// An image open for writing, or only for reading when it is to be verified.
class PosixImageFile final : public ImageFile {
 public:
  // A regular file being written is emptied by a terminating signal while it is open.
  PosixImageFile(int fd, mode_t mode, bool writing)
      : fd_(fd),
        regular_(S_ISREG(mode)),
        block_device_(S_ISBLK(mode)),
        empty_on_signal_(regular_ && writing) {
    if (empty_on_signal_) EmptyImageOnSignal(fd_);
  }
  ~PosixImageFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (empty_on_signal_) StopEmptyingImageOnSignal(fd_);
  }
  PosixImageFile(const PosixImageFile&) = delete;
  PosixImageFile& operator=(const PosixImageFile&) = delete;

  bool Write(const uint8_t* data, size_t count) override {
    while (count > 0) {
      ssize_t written = ::write(fd_, data, count);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      data += written;
      count -= static_cast<size_t>(written);
    }
    return true;
  }

  bool CanReadBack() const override { return regular_ || block_device_; }

  // Our writes go straight to the kernel; there is nothing of ours to push. The image is not
  // forced to the medium: a build step that needs that can sync the file itself.
  bool Flush() override { return fd_ >= 0; }

  bool Length(uint64_t* length) override {
    struct stat status;
    if (::fstat(fd_, &status) != 0) return false;
    *length = static_cast<uint64_t>(status.st_size);
    return true;
  }

  bool Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
  }

  bool Read(uint8_t* data, size_t count) override {
    while (count > 0) {
      ssize_t got = ::read(fd_, data, count);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      data += got;
      count -= static_cast<size_t>(got);
    }
    return true;
  }

  // A long run of zeros past the end of a regular file becomes a hole: the file is extended
  // and the position moved, so a huge fill costs neither time nor disk.
  bool WriteZeros(uint64_t count) override {
    if (!regular_) return ImageFile::WriteZeros(count);
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    struct stat status;
    if (position < 0 || ::fstat(fd_, &status) != 0) return false;
    auto start = static_cast<uint64_t>(position);
    const auto size = static_cast<uint64_t>(status.st_size);
    if (size > start) {
      // Only what lies past the end is known to read as zeros; the rest is written.
      const uint64_t inside = count < size - start ? count : size - start;
      if (!ImageFile::WriteZeros(inside)) return false;
      start += inside;
      count -= inside;
    }
    if (count == 0) return true;
    if (count > static_cast<uint64_t>(LLONG_MAX) - start) return false;
    const uint64_t end = start + count;
    if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) return false;
    return ::lseek(fd_, static_cast<off_t>(end), SEEK_SET) == static_cast<off_t>(end);
  }

#ifdef PIBGEN_HAVE_SEEK_DATA  // else every byte is data, read back in full
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    uint64_t length = 0;
    if (!Length(&length)) return false;
    if (!regular_ || offset >= length || offset > static_cast<uint64_t>(LLONG_MAX)) {
      return ImageFile::FindData(offset, begin, end);
    }
    const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
      // Any other error says the file system cannot tell holes: the rest is read as data.
      if (errno != ENXIO) return ImageFile::FindData(offset, begin, end);
      *begin = *end = length;  // nothing but a hole up to the end
      return true;
    }
    const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
    if (hole < 0) return ImageFile::FindData(offset, begin, end);
    *begin = std::min(static_cast<uint64_t>(data), length);
    *end = std::min(static_cast<uint64_t>(hole), length);
    return true;
  }
#endif

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    // close() may report a write the kernel could not complete (network file systems). A
    // second handle lets the image still be emptied then.
    const int spare = regular_ ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    const bool closed = ::close(fd) == 0;
    if (spare >= 0) {
      if (!closed) IgnoreFailure(::ftruncate(spare, 0));
      ::close(spare);
    }
    if (empty_on_signal_) StopEmptyingImageOnSignal(fd);
    return closed;
  }

  void Discard() override {
    if (fd_ < 0) return;
    if (regular_) IgnoreFailure(::ftruncate(fd_, 0));
    ::close(fd_);
    if (empty_on_signal_) StopEmptyingImageOnSignal(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  bool regular_;
  bool block_device_;
  bool empty_on_signal_;
};

class PosixSourceFile final : public SourceFile {
 public:
  explicit PosixSourceFile(int fd) : fd_(fd) {}
  ~PosixSourceFile() override { ::close(fd_); }
  PosixSourceFile(const PosixSourceFile&) = delete;
  PosixSourceFile& operator=(const PosixSourceFile&) = delete;

  ptrdiff_t Read(char* data, size_t count) override {
    while (true) {
      const ssize_t got = ::read(fd_, data, count);
      if (got < 0 && errno == EINTR) continue;
      return got < 0 ? -1 : static_cast<ptrdiff_t>(got);
    }
  }

 private:
  int fd_;
};

FileIdentity IdentityOf(const struct stat& status) {
  constexpr int64_t kNanoseconds = 1000000000;
  FileIdentity identity;
  identity.known = true;
  identity.device = static_cast<uint64_t>(status.st_dev);
  identity.inode = static_cast<uint64_t>(status.st_ino);
  identity.size = static_cast<uint64_t>(status.st_size);
#if defined(__APPLE__)  // the same times under the names macOS gives them
  const timespec& modified = status.st_mtimespec;
  const timespec& changed = status.st_ctimespec;
#else
  const timespec& modified = status.st_mtim;
  const timespec& changed = status.st_ctim;
#endif
  identity.modified_ns = modified.tv_sec * kNanoseconds + modified.tv_nsec;
  identity.changed_ns = changed.tv_sec * kNanoseconds + changed.tv_nsec;
  return identity;
}

// Locks the whole image file against a second run. Without flock, a POSIX record lock: it
// belongs to the process and ends with its first close of the file, which is the image's.
bool LockImage(int fd) {
#ifdef PIBGEN_HAVE_FLOCK
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
#else
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  return ::fcntl(fd, F_SETLK, &whole) == 0;
#endif
}

// Opens path for reading if it is a regular file, and notes which file it is. O_NONBLOCK
// keeps a FIFO from stalling the open; it changes nothing for a regular file.
int OpenRegularFile(const std::string& path, FileIdentity* identity) {
  if (path.empty()) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (identity != nullptr) *identity = IdentityOf(status);
  return fd;
}

}  // namespace

std::unique_ptr<SourceFile> PosixFileSystem::OpenSource(const std::string& path,
                                                        FileIdentity* identity) {
  const int fd = OpenRegularFile(path, identity);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixSourceFile>(fd);
}

bool PosixFileSystem::ReadWholeFile(const std::string& path, std::string* contents,
                                    FileIdentity* identity) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  if (ok) {
    *identity = IdentityOf(status);
    contents->clear();
    contents->resize(static_cast<size_t>(status.st_size));
    size_t filled = 0;
    // Read until end of file: the size from fstat is only a hint for a file still growing.
    while (ok) {
      if (filled == contents->size()) contents->resize(filled + (filled >> 1) + 4096);
      ssize_t got = ::read(fd, contents->data() + filled, contents->size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ok = false;
      if (got <= 0) break;
      filled += static_cast<size_t>(got);
    }
    contents->resize(filled);
  }
  ::close(fd);
  return ok;
}

std::unique_ptr<ImageReader> PosixFileSystem::OpenImage(const std::string& path) {
  const int fd = OpenRegularFile(path, nullptr);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixImageFile>(fd, S_IFREG, false);
}

std::unique_ptr<ImageFile> PosixFileSystem::CreateImage(const std::string& path,
                                                        std::span<const FileIdentity> keep) {
  if (path.empty()) return nullptr;
  // Not O_TRUNC: the file is truncated only once it is known to be ours alone and not the
  // description.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0;
  // A pipe or socket would block the conversion forever once its buffer filled.
  ok = ok && !S_ISFIFO(status.st_mode) && !S_ISSOCK(status.st_mode);
  for (const FileIdentity& kept : keep) {
    ok = ok && !(kept.known && kept.device == static_cast<uint64_t>(status.st_dev) &&
                 kept.inode == static_cast<uint64_t>(status.st_ino));
  }
  ok = ok && LockImage(fd);
  const bool regular = ok && S_ISREG(status.st_mode);
  ok = ok && (!regular || ::ftruncate(fd, 0) == 0);
  if (ok) {
    const int flags = ::fcntl(fd, F_GETFL);
    ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
  }
  if (!ok) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixImageFile>(fd, status.st_mode, true);
}

FileIdentity PosixFileSystem::StandardOutput() {
  FileIdentity identity;
  struct stat status;
  if (::fstat(STDOUT_FILENO, &status) == 0 &&
      (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) {
    identity.known = true;
    identity.device = static_cast<uint64_t>(status.st_dev);
    identity.inode = static_cast<uint64_t>(status.st_ino);
  }
  return identity;
}

std::string PosixFileSystem::CurrentDirectory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

}  // namespace pibgen::file
