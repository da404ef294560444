#include "file/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>

namespace pibgen::file {
namespace {

class PosixImageFile final : public ImageFile {
 public:
  PosixImageFile(int fd, bool regular) : fd_(fd), regular_(regular) {}
  ~PosixImageFile() override {
    if (fd_ >= 0) ::close(fd_);
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

  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    uint64_t length = 0;
    if (!Length(&length)) return false;
    if (!regular_ || offset >= length || offset > static_cast<uint64_t>(LLONG_MAX)) {
      return ImageFile::FindData(offset, begin, end);
    }
    const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
      if (errno != ENXIO) return false;
      *begin = *end = length;  // nothing but a hole up to the end
      return true;
    }
    const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
    if (hole < 0) return false;
    *begin = std::min(static_cast<uint64_t>(data), length);
    *end = std::min(static_cast<uint64_t>(hole), length);
    return true;
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    // close() may report a write the kernel could not complete (network file systems). A
    // second handle lets the image still be emptied then.
    const int spare = regular_ ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    const bool closed = ::close(fd) == 0;
    if (spare >= 0) {
      if (!closed) (void)::ftruncate(spare, 0);
      ::close(spare);
    }
    return closed;
  }

  void Discard() override {
    if (fd_ < 0) return;
    if (regular_) (void)::ftruncate(fd_, 0);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  bool regular_;
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

class PosixImageSource final : public ImageSource {
 public:
  explicit PosixImageSource(int fd) : fd_(fd) {}
  ~PosixImageSource() override { ::close(fd_); }
  PosixImageSource(const PosixImageSource&) = delete;
  PosixImageSource& operator=(const PosixImageSource&) = delete;

  bool Length(uint64_t* length) override {
    struct stat status;
    if (::fstat(fd_, &status) != 0) return false;
    *length = static_cast<uint64_t>(status.st_size);
    return true;
  }

  bool ReadAt(uint64_t offset, uint8_t* data, size_t count) override {
    while (count > 0) {
      if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
      const ssize_t got = ::pread(fd_, data, count, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      data += got;
      offset += static_cast<uint64_t>(got);
      count -= static_cast<size_t>(got);
    }
    return true;
  }

  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    uint64_t length = 0;
    if (!Length(&length)) return false;
    if (offset >= length) return ImageSource::FindData(offset, begin, end);
    const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0) {
      // ENXIO: only a hole up to the end. A file system without the lookup has no holes.
      if (errno == ENXIO) {
        *begin = *end = length;
        return true;
      }
      return errno == EINVAL && ImageSource::FindData(offset, begin, end);
    }
    const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
    if (hole < 0) return false;
    *begin = std::min(static_cast<uint64_t>(data), length);
    *end = std::min(static_cast<uint64_t>(hole), length);
    return true;
  }

 private:
  int fd_;
};

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
  if (identity != nullptr) {
    identity->known = true;
    identity->device = static_cast<uint64_t>(status.st_dev);
    identity->inode = static_cast<uint64_t>(status.st_ino);
  }
  return fd;
}

}  // namespace

std::unique_ptr<SourceFile> PosixFileSystem::OpenSource(const std::string& path,
                                                        FileIdentity* identity) {
  const int fd = OpenRegularFile(path, identity);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixSourceFile>(fd);
}

std::unique_ptr<ImageSource> PosixFileSystem::OpenImageSource(const std::string& path) {
  const int fd = OpenRegularFile(path, nullptr);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixImageSource>(fd);
}

bool PosixFileSystem::ReadWholeFile(const std::string& path, std::string* contents,
                                    FileIdentity* identity) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  if (ok) {
    identity->known = true;
    identity->device = static_cast<uint64_t>(status.st_dev);
    identity->inode = static_cast<uint64_t>(status.st_ino);
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

std::unique_ptr<ImageFile> PosixFileSystem::CreateImage(const std::string& path,
                                                        const FileIdentity& keep) {
  if (path.empty()) return nullptr;
  // Not O_TRUNC: the file is truncated only once it is known to be ours alone and not the
  // description.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0;
  // A pipe or socket would block the conversion forever once its buffer filled.
  ok = ok && !S_ISFIFO(status.st_mode) && !S_ISSOCK(status.st_mode);
  ok = ok && !(keep.known && keep.device == static_cast<uint64_t>(status.st_dev) &&
               keep.inode == static_cast<uint64_t>(status.st_ino));
  ok = ok && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
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
  return std::make_unique<PosixImageFile>(fd, regular);
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
