#include "file/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "file/clean_up_on_signal.h"
#include "file/keep_file_rights.h"
#include "file/path_length.h"
#include "file/temporary_name.h"

namespace pibgen::file {
namespace {

// A descriptor, and a temporary file's name, owned until they are handed on: if anything
// throws on the way (memory running out), they are closed and removed, not left behind.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};
struct OwnedName {
  std::string name;
  int slot = -1;  // where a terminating signal finds it
  ~OwnedName() {
    if (!name.empty()) ::unlink(name.c_str());
    if (!name.empty()) StopRemovingOnSignal(slot);
  }
};

// For calls on failure paths where a further failure changes nothing. A (void) cast does not
// quiet GCC's warn_unused_result, which _FORTIFY_SOURCE puts on calls such as ftruncate.
void IgnoreFailure(int /*status*/) {}

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

// A file open for writing and reading: a replacement, a scratch file, an image written in
// place, or an image opened only to be read.
class PosixFile final : public ImageFile {
 public:
  enum class Role { kOwn, kInPlace };
  // An image written in place keeps its old bytes until the first write; from then on it is
  // emptied by a terminating signal, by a failed close and when dropped unclosed, so that what
  // a failure leaves never looks finished. Close cuts the file where the writing ended.
  PosixFile(int fd, bool regular, Role role)
      : fd_(fd), regular_(regular), in_place_(regular && role == Role::kInPlace) {}
  ~PosixFile() override {
    if (fd_ < 0) return;
    if (written_over_) {
      IgnoreFailure(::ftruncate(fd_, 0));
      StopEmptyingOnSignal();
    }
    ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  int fd() const { return fd_; }

  // Room for the whole image in a regular file written in place, before a byte of it is
  // written: a disk without room then refuses with the old bytes kept. Where the file system
  // cannot reserve space ahead, the writes go on without.
  bool Reserve(uint64_t length) override {
    if (!in_place_ || length == 0) return true;
    if (length > static_cast<uint64_t>(LLONG_MAX)) return false;
    struct stat status;
    if (::fstat(fd_, &status) != 0) return false;
    const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(length));
    if (error == EOPNOTSUPP || error == EINVAL || error == ENOSYS) return true;
    if (error != 0) {
      // Whatever a file system left allocated past the old end goes.
      struct stat now;
      if (::fstat(fd_, &now) == 0 && now.st_size > status.st_size) {
        IgnoreFailure(::ftruncate(fd_, status.st_size));
      }
      return false;
    }
    // Reserved space past the old end reads as zeros: zero runs there need not be written.
    zeros_from_ = static_cast<uint64_t>(status.st_size);
    return true;
  }

  bool Write(const uint8_t* data, size_t count) override {
    WritingOver();
    while (count > 0) {
      const ssize_t written = ::write(fd_, data, count);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      data += written;
      count -= static_cast<size_t>(written);
    }
    return true;
  }

  bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
    WritingOver();
    while (count > 0) {
      if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
      const ssize_t written = ::pwrite(fd_, data, count, static_cast<off_t>(offset));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      data += written;
      offset += static_cast<uint64_t>(written);
      count -= static_cast<size_t>(written);
    }
    return true;
  }

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
      const ssize_t got = ::read(fd_, data, count);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      data += got;
      count -= static_cast<size_t>(got);
    }
    return true;
  }

  // A regular file reads as zeros past its end, and in space reserved ahead of an image written
  // in place there; a long zero run there becomes a hole.
  Holes ZerosKnownFrom(uint64_t* position, uint64_t* zeros_from) override {
    if (!regular_) return Holes::kNone;
    WritingOver();
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    struct stat status;
    if (at < 0 || ::fstat(fd_, &status) != 0) return Holes::kFailed;
    *position = static_cast<uint64_t>(at);
    *zeros_from = std::min(static_cast<uint64_t>(status.st_size), zeros_from_);
    return Holes::kKnown;
  }
  bool ExtendTo(uint64_t end) override {
    struct stat status;
    if (end > static_cast<uint64_t>(LLONG_MAX) || ::fstat(fd_, &status) != 0) return false;
    if (end > static_cast<uint64_t>(status.st_size) &&
        ::ftruncate(fd_, static_cast<off_t>(end)) != 0) {
      return false;
    }
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
    bool closed = true;
    if (in_place_) {
      // The old bytes past the new image's end go.
      const off_t end = ::lseek(fd, 0, SEEK_CUR);
      closed = end >= 0 && ::ftruncate(fd, end) == 0;
    }
    // close() may report a write the kernel could not complete (network file systems). A
    // second handle lets an image written in place still be emptied then.
    const int spare = in_place_ ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (!closed) IgnoreFailure(::ftruncate(fd, 0));
    closed = ::close(fd) == 0 && closed;
    if (spare >= 0) {
      if (!closed) IgnoreFailure(::ftruncate(spare, 0));
      ::close(spare);
    }
    if (written_over_) StopEmptyingOnSignal();
    return closed;
  }

 private:
  void WritingOver() {
    if (!in_place_ || written_over_) return;
    EmptyOnSignal(fd_);
    written_over_ = true;
  }

  int fd_;
  bool regular_;
  bool in_place_;
  bool written_over_ = false;  // the old bytes are going: a failure from now on empties it
  uint64_t zeros_from_ = UINT64_MAX;
};

class PosixSourceFile final : public SourceFile {
 public:
  PosixSourceFile(int fd, const FileIdentity& identity) : fd_(fd), identity_(identity) {}
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

  bool Changed() override {
    struct stat status;
    return ::fstat(fd_, &status) != 0 || !(IdentityOf(status) == identity_);
  }

 private:
  int fd_;
  FileIdentity identity_;
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
  *identity = IdentityOf(status);
  return fd;
}

// Locks a file written in place against a second run. Without flock, a POSIX record lock: it
// belongs to the process and ends with its first close of the file, which is the image's.
bool Lock(int fd) {
#ifdef PIBGEN_HAVE_FLOCK
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
#else
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  return ::fcntl(fd, F_SETLK, &whole) == 0;
#endif
}

// The file a path names once symbolic links are followed, as a path; the last link's target
// may not exist yet. Empty if a link cannot be read or they go round in circles.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return errno == EINVAL || errno == ENOENT ? path : std::string();
    if (static_cast<size_t>(length) >= target.size()) return {};
    target.resize(static_cast<size_t>(length));
    // A relative target is relative to the folder the link is in.
    const size_t slash = path.rfind('/');
    path = target[0] == '/' || slash == std::string::npos ? target
                                                          : path.substr(0, slash + 1) + target;
  }
  return {};
}

// The folder a file path is in, and its last component.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
std::string BaseOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A name for a temporary file in folder, unlikely to be taken: the caller creates it
// exclusively and tries another if it is.
std::string TemporaryName(const std::string& folder, const std::string& base) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const uint64_t entropy = static_cast<uint64_t>(now.tv_nsec) ^
                           (static_cast<uint64_t>(now.tv_sec) << 30) ^
                           (static_cast<uint64_t>(::getpid()) << 16);
  return folder + "/" + file::TemporaryName(base, entropy);
}

// A new file in folder, open for reading and writing, that no other process can open: with
// O_TMPFILE it has no name at all (it vanishes with the process, however it ends); elsewhere
// it gets a name from TemporaryName, left in temporary and registered for removal by a
// terminating signal, or, for a scratch file (`keep_name` false), removed at once. The file
// and its registration are made with those signals held, so none falls between the two. -1
// if the folder takes no new file.
int CreateTemporaryFile(const std::string& folder, const std::string& base, bool keep_name,
                        OwnedName* temporary) {
#ifdef PIBGEN_HAVE_O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd >= 0) return fd;
  // Else only a file system (or a kernel) without unnamed files takes a named one.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -1;
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(folder, base);
    const SignalsHeld held;
    const int named = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (named < 0) {
      if (errno != EEXIST) break;
      continue;
    }
    const int slot = keep_name ? RemoveOnSignal(name.c_str()) : -1;
    if (!keep_name || slot < 0) {
      ::unlink(name.c_str());
      if (!keep_name) return named;
      ::close(named);  // no room to register it: it could be left behind
      break;
    }
    temporary->name = std::move(name);
    temporary->slot = slot;
    return named;
  }
  return -1;
}

// The permission bits a new file gets: 0666 less the process's umask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Whether a refused rename leaves the destination to be written in place: a sticky folder
// and a file of another owner, a file mounted on its own, another file system.
bool RenameRefusedByFolder(int error) {
  return error == EPERM || error == EACCES || error == EBUSY || error == EXDEV;
}

class PosixDestination final : public Destination {
 public:
  // A destination that is replaced: target is where the replacement goes (symbolic links
  // followed). An existing one is open as old (for writing, in case it must be written in
  // place after all), its state old_status; a new one has old -1. keep_again: the complete
  // replacement must be given its rights once more (the old file's, or a new file's mode).
  PosixDestination(std::string target, int replacement, OwnedName* temporary, int old,
                   const struct stat& old_status, bool keep_again)
      : target_(std::move(target)),
        replacement_(std::make_unique<PosixFile>(replacement, true, PosixFile::Role::kOwn)),
        old_fd_(old),
        old_status_(old_status),
        regular_(true),
        keep_again_(keep_again) {
    std::swap(name_.name, temporary->name);
    std::swap(name_.slot, temporary->slot);
  }
  // A destination written in place: fd is it, open for writing and locked, or -1 for a FIFO
  // that no reader had open yet.
  PosixDestination(std::string target, int fd, bool regular)
      : target_(std::move(target)), old_fd_(fd), locked_(true), regular_(regular) {}

  ~PosixDestination() override {
    if (old_fd_ >= 0) ::close(old_fd_);
    replacement_.reset();
  }
  PosixDestination(const PosixDestination&) = delete;
  PosixDestination& operator=(const PosixDestination&) = delete;

  ImageFile* Replacement() override { return replacement_.get(); }

  bool Replace() override {
    if (!replacement_ || in_place_instead_) return false;
    const int fd = replacement_->fd();
    // A named replacement was open to its owner alone while it was written, and writing may
    // have cleared setuid, setgid and file capabilities: then the rights are given again.
    if (keep_again_ && !(old_fd_ >= 0 ? KeepFileRights(old_fd_, old_status_, fd)
                                      : ::fchmod(fd, NewFileMode()) == 0)) {
      return WriteInPlaceAfterAll();
    }
    // Closed once, through a second handle, before the rename: a network file system reports
    // then a write it could not make. The first handle stays, to copy the image in place if
    // the folder refuses the rename. Done before the file is named, so that the name lives
    // only for the link and the rename: till the rename a signal removes it, but SIGKILL,
    // which nothing catches, would leave it.
    const int spare = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (spare < 0 || ::close(spare) != 0) {
      RemoveName();
      return false;
    }
    if (name_.name.empty() && !Link(fd)) return false;
    if (::rename(name_.name.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      RemoveName();
      return RenameRefusedByFolder(error) ? WriteInPlaceAfterAll() : false;
    }
    StopRemovingOnSignal(name_.slot);
    name_.name.clear();
    replacement_.reset();
    return true;
  }

  bool WriteInPlaceInstead() override { return in_place_instead_; }

  std::unique_ptr<ImageFile> OpenInPlace() override {
    if (replacement_ && !in_place_instead_) return nullptr;
    int fd = old_fd_;
    old_fd_ = -1;
    if (fd < 0) {
      // A FIFO: waits for a reader, as any writer to it does.
      fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd < 0) return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || (!locked_ && !Lock(fd))) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixFile>(fd, regular_, PosixFile::Role::kInPlace);
  }

 private:
  // The new file cannot take the old one's place: the image it holds is copied into the
  // destination instead.
  bool WriteInPlaceAfterAll() {
    RemoveName();
    in_place_instead_ = old_fd_ >= 0;
    return false;
  }
  void RemoveName() {
    if (name_.name.empty()) return;
    ::unlink(name_.name.c_str());
    StopRemovingOnSignal(name_.slot);
    name_.name.clear();
  }

  // Gives the unnamed replacement a temporary name beside the destination, registered for
  // removal by a terminating signal as it is made.
  bool Link(int fd) {
    const std::string folder = FolderOf(target_);
    const std::string base = BaseOf(target_);
    const std::string by_descriptor = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = TemporaryName(folder, base);
      const SignalsHeld held;
      // Linking a descriptor needs a capability most users lack; /proc names it for them.
      int linked = -1;
#ifdef AT_EMPTY_PATH
      linked = ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
#endif
      if (linked != 0 && errno != EEXIST) {
        linked =
            ::linkat(AT_FDCWD, by_descriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
      }
      if (linked == 0) {
        name_.slot = RemoveOnSignal(name.c_str());
        name_.name = std::move(name);
        if (name_.slot >= 0) return true;
        RemoveName();
        return false;
      }
      if (errno != EEXIST) break;
    }
    return false;
  }

  std::string target_;
  std::unique_ptr<PosixFile> replacement_;
  OwnedName name_;  // while the replacement has a temporary name
  int old_fd_ = -1;
  struct stat old_status_ {};
  bool locked_ = false;
  bool regular_ = false;
  bool keep_again_ = false;        // see the constructor
  bool in_place_instead_ = false;  // the replacement was refused; its image goes in place
};

}  // namespace

std::unique_ptr<SourceFile> PosixFileSystem::OpenSource(const std::string& path,
                                                        FileIdentity* identity) {
  FileIdentity opened;
  Descriptor fd(OpenRegularFile(path, &opened));
  if (fd.get() < 0) return nullptr;
  if (identity != nullptr) *identity = opened;
  auto source = std::make_unique<PosixSourceFile>(fd.get(), opened);
  fd.release();
  return source;
}

std::unique_ptr<ImageReader> PosixFileSystem::OpenImage(const std::string& path) {
  FileIdentity unused;
  Descriptor fd(OpenRegularFile(path, &unused));
  if (fd.get() < 0) return nullptr;
  auto image = std::make_unique<PosixFile>(fd.get(), true, PosixFile::Role::kOwn);
  fd.release();
  return image;
}

std::unique_ptr<Destination> PosixFileSystem::OpenDestination(const std::string& path,
                                                              std::span<const FileIdentity> keep) {
  const std::string target = path.empty() ? path : FollowLinks(path);
  if (target.empty() || target.back() == '/') return nullptr;
  // Opened as a writer would open it, but neither created nor emptied. O_NONBLOCK: a FIFO with
  // no reader yet must not stall the run here.
  Descriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  const int open_error = errno;
  struct stat status {};
  bool exists = fd.get() >= 0;
  if (exists) {
    if (::fstat(fd.get(), &status) != 0) return nullptr;
    if (IsAnyOf(IdentityOf(status), keep)) return nullptr;
  } else if (open_error == ENXIO) {
    // A FIFO no reader has open yet is opened when the image is ready; a socket is refused.
    if (::stat(target.c_str(), &status) != 0 || !S_ISFIFO(status.st_mode)) return nullptr;
    exists = true;
  } else if (open_error != ENOENT) {
    return nullptr;
  }

  // A file mounted on its own (a container's bind mount) cannot be renamed over.
  struct stat folder {};
  const std::string folder_path = FolderOf(target);
  const bool mounted_alone =
      exists && ::stat(folder_path.c_str(), &folder) == 0 && folder.st_dev != status.st_dev;
  if (!exists || (S_ISREG(status.st_mode) && !mounted_alone)) {
    OwnedName temporary;
    Descriptor replacement(CreateTemporaryFile(folder_path, BaseOf(target), true, &temporary));
    // Only a new file that takes the old one's owner, group, rights and attributes replaces
    // it; else the old one is written in place. Tried now, on the empty file. A named one is
    // then open to its owner alone till the image is complete, and given its rights again;
    // so is one that writing may strip of setuid, setgid or file capabilities. An unnamed new
    // file keeps the mode it was made with, as any file created there.
    const bool named = !temporary.name.empty();
    bool attributes = false;
    const bool replaceable =
        replacement.get() >= 0 &&
        (!exists || (KeepFileRights(fd.get(), status, replacement.get(), &attributes) &&
                     (!named || ::fchmod(replacement.get(), 0600) == 0)));
    if (replaceable) {
      const bool keep_again =
          named || (exists && (attributes || (status.st_mode & (S_ISUID | S_ISGID)) != 0));
      auto destination = std::make_unique<PosixDestination>(target, replacement.get(), &temporary,
                                                            fd.get(), status, keep_again);
      replacement.release();
      fd.release();
      return destination;
    }
    // A folder that takes no new file: an existing file is written in place, as it may be.
    if (!exists) return nullptr;
  }
  // A file or block device written in place is locked against a second run, as a mix of two
  // images would be worse than a refusal; devices that pass bytes on, and FIFOs, are not.
  const bool locked = S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
  if (fd.get() >= 0 && locked && !Lock(fd.get())) return nullptr;
  auto destination = std::make_unique<PosixDestination>(target, fd.get(), S_ISREG(status.st_mode));
  fd.release();
  return destination;
}

std::unique_ptr<ImageFile> PosixFileSystem::CreateScratchFile() {
  return CreateScratchFileNear(std::string());
}

std::unique_ptr<ImageFile> PosixFileSystem::CreateScratchFileNear(const std::string& path) {
  // TMPDIR, else (unset, missing, full or not writable) the system's folder for temporary
  // files, else the folder path is in.
  const char* variable = std::getenv("TMPDIR");
  std::string folders[] = {variable != nullptr ? variable : "", P_tmpdir,
                           path.empty() ? std::string() : FolderOf(path)};
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    OwnedName unused;  // a scratch file's name goes at once
    Descriptor fd(CreateTemporaryFile(folder, "scratch", false, &unused));
    if (fd.get() < 0) continue;
    auto scratch = std::make_unique<PosixFile>(fd.get(), true, PosixFile::Role::kOwn);
    fd.release();
    return scratch;
  }
  return nullptr;
}

FileIdentity PosixFileSystem::StandardOutput() {
  FileIdentity identity;
  struct stat status;
  if (::fstat(STDOUT_FILENO, &status) == 0 &&
      (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) {
    identity = IdentityOf(status);
  }
  return identity;
}

std::string PosixFileSystem::FullPath(const std::string& path) {
  std::string directory(4096, '\0');
  while (::getcwd(directory.data(), directory.size()) == nullptr) {
    if (errno != ERANGE) return AbsolutePathLexically(path, "/");
    directory.resize(directory.size() * 2);
  }
  directory.resize(directory.find('\0'));
  return AbsolutePathLexically(path, directory);
}

}  // namespace pibgen::file
