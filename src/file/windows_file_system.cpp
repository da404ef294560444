#include "file/windows_file_system.h"

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "file/temporary_name.h"
#include "file/windows_io.h"

namespace pibgen::file {
namespace {

// A handle, and a temporary file's name, owned until they are handed on: if anything throws on
// the way (memory running out), the handle is closed and the file deleted, not left behind.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

int64_t Ticks(const LARGE_INTEGER& time) { return time.QuadPart; }

// The volume and the file's ID name a file whatever path reaches it; size and times tell its
// state (times in 100 ns ticks). The ID is 128 bits on ReFS: both halves count.
FileIdentity IdentityOf(HANDLE file) {
  FileIdentity identity;
  FILE_ID_INFO id;
  FILE_BASIC_INFO times;
  FILE_STANDARD_INFO standard;
  if (!::GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id) ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return identity;
  }
  uint64_t halves[2];
  static_assert(sizeof halves == sizeof id.FileId);
  std::memcpy(halves, &id.FileId, sizeof halves);
  identity.known = true;
  identity.device = id.VolumeSerialNumber;
  identity.inode = halves[0] ^ halves[1];
  identity.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
  identity.modified_ns = Ticks(times.LastWriteTime) * 100;
  identity.changed_ns = Ticks(times.ChangeTime) * 100;
  return identity;
}

// The attributes of a file on disk; false for a device, a pipe or a folder.
bool IsDiskFile(HANDLE file, DWORD* attributes = nullptr) {
  FILE_BASIC_INFO basic;
  if (::GetFileType(file) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  if (attributes != nullptr) *attributes = basic.FileAttributes;
  return true;
}

bool SetDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(remove)};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

bool MoveTo(HANDLE file, uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return offset <= uint64_t{INT64_MAX} && ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN);
}

bool Position(HANDLE file, uint64_t* position) {
  LARGE_INTEGER zero = {};
  LARGE_INTEGER at;
  if (!::SetFilePointerEx(file, zero, &at, FILE_CURRENT)) return false;
  *position = static_cast<uint64_t>(at.QuadPart);
  return true;
}

// What a replacement must carry over from the file it replaces so that it grants no more than
// that file did and stays in the same hands: its owner, its group and its DACL.
class Security {
 public:
  Security() = default;
  ~Security() {
    if (descriptor_ != nullptr) ::LocalFree(descriptor_);
  }
  Security(const Security&) = delete;
  Security& operator=(const Security&) = delete;

  // Reads them from an open file (which needs READ_CONTROL); false if they cannot be read.
  bool Read(HANDLE file) {
    constexpr SECURITY_INFORMATION kWhat =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, kWhat, &owner_, &group_, &dacl_, nullptr,
                          &descriptor_) != ERROR_SUCCESS) {
      descriptor_ = nullptr;
      return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor_, &control, &revision)) return false;
    protected_ = (control & SE_DACL_PROTECTED) != 0;
    return owner_ != nullptr;
  }

  // Whether a file this process creates gets another owner or group, which only a process
  // allowed to give files away can set.
  bool NeedsNewOwner() const { return !IsDefault(TokenOwner) || !IsDefault(TokenPrimaryGroup); }

  // Gives them to file (opened with READ_CONTROL and WRITE_DAC, and WRITE_OWNER where
  // NeedsNewOwner). A DACL that inherited from its folder goes on inheriting from it.
  bool ApplyTo(HANDLE file) const {
    SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        (protected_ ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (NeedsNewOwner()) what |= OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    return ::SetSecurityInfo(file, SE_FILE_OBJECT, what, owner_, group_, dacl_, nullptr) ==
           ERROR_SUCCESS;
  }

 private:
  // Whether the process's token gives new files this owner (TokenOwner) or group
  // (TokenPrimaryGroup) already.
  bool IsDefault(TOKEN_INFORMATION_CLASS which) const {
    PSID wanted = which == TokenOwner ? owner_ : group_;
    if (wanted == nullptr) return true;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    ::GetTokenInformation(token, which, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    bool same = false;
    if (size > 0 && ::GetTokenInformation(token, which, buffer.data(), size, &size)) {
      // TOKEN_OWNER and TOKEN_PRIMARY_GROUP both hold one SID pointer.
      PSID given = nullptr;
      std::memcpy(&given, buffer.data(), sizeof given);
      same = given != nullptr && ::EqualSid(given, wanted);
    }
    ::CloseHandle(token);
    return same;
  }

  PSECURITY_DESCRIPTOR descriptor_ = nullptr;  // holds the three below
  PSID owner_ = nullptr;
  PSID group_ = nullptr;
  PACL dacl_ = nullptr;  // null: a null DACL, which grants everyone everything
  bool protected_ = false;
};

// While an image is written in place, closing the console, Ctrl+C or Ctrl+Break first empty
// it, then end the process as Windows ends an interrupted one. Windows calls the handler on a
// thread of its own: the writing thread is stopped before the file is emptied.
HANDLE emptied_on_interrupt = INVALID_HANDLE_VALUE;
HANDLE writing_thread = nullptr;

BOOL WINAPI EmptyAndEnd(DWORD) {
  if (writing_thread != nullptr) ::SuspendThread(writing_thread);
  if (emptied_on_interrupt != INVALID_HANDLE_VALUE && MoveTo(emptied_on_interrupt, 0)) {
    ::SetEndOfFile(emptied_on_interrupt);
  }
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

void EmptyOnInterrupt(HANDLE file) {
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                         &writing_thread, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    writing_thread = nullptr;
  }
  emptied_on_interrupt = file;
  ::SetConsoleCtrlHandler(EmptyAndEnd, TRUE);
}

void StopEmptyingOnInterrupt() {
  ::SetConsoleCtrlHandler(EmptyAndEnd, FALSE);
  emptied_on_interrupt = INVALID_HANDLE_VALUE;
  if (writing_thread != nullptr) ::CloseHandle(writing_thread);
  writing_thread = nullptr;
}

// A file open for writing and reading: a replacement, a scratch file, an image written in
// place, or an image opened only to be read.
class WindowsFile final : public ImageFile {
 public:
  enum class Role { kOwn, kInPlace };
  WindowsFile(HANDLE file, bool on_disk, Role role)
      : file_(file), on_disk_(on_disk), empty_when_dropped_(on_disk && role == Role::kInPlace) {
    if (empty_when_dropped_) EmptyOnInterrupt(file_);
  }
  ~WindowsFile() override {
    if (file_ == INVALID_HANDLE_VALUE) return;
    if (empty_when_dropped_) {
      if (MoveTo(file_, 0)) ::SetEndOfFile(file_);
      StopEmptyingOnInterrupt();
    }
    ::CloseHandle(file_);
  }
  WindowsFile(const WindowsFile&) = delete;
  WindowsFile& operator=(const WindowsFile&) = delete;

  HANDLE handle() const { return file_; }

  bool Write(const uint8_t* data, size_t count) override { return WriteAll(file_, data, count); }

  bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
    uint64_t position = 0;
    return Position(file_, &position) && MoveTo(file_, offset) && Write(data, count) &&
           MoveTo(file_, position);
  }

  bool Length(uint64_t* length) override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file_, &size)) return false;
    *length = static_cast<uint64_t>(size.QuadPart);
    return true;
  }

  bool Seek(uint64_t offset) override { return MoveTo(file_, offset); }

  bool Read(uint8_t* data, size_t count) override {
    while (count > 0) {
      DWORD got = 0;
      const auto take = static_cast<DWORD>(std::min<size_t>(count, DWORD{1} << 30));
      if (!::ReadFile(file_, data, take, &got, nullptr) || got == 0) return false;
      data += got;
      count -= got;
    }
    return true;
  }

  // A file on disk reads as zeros past its end; a long zero run there moves the end of file
  // instead: on a sparse file (NTFS) that leaves a hole, elsewhere the file system fills the
  // zeros itself.
  Holes ZerosKnownFrom(uint64_t* position, uint64_t* zeros_from) override {
    if (!on_disk_) return Holes::kNone;
    return Position(file_, position) && Length(zeros_from) ? Holes::kKnown : Holes::kFailed;
  }
  bool ExtendTo(uint64_t end) override {
    uint64_t length = 0;
    if (!Length(&length) || !MoveTo(file_, end)) return false;
    return end <= length || ::SetEndOfFile(file_);
  }

  // The allocated ranges of a sparse file are its data; a file system that cannot tell has
  // all the rest as data.
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    uint64_t length = 0;
    if (!Length(&length)) return false;
    if (!on_disk_ || offset >= length) return ImageFile::FindData(offset, begin, end);
    FILE_ALLOCATED_RANGE_BUFFER query;
    query.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
    query.Length.QuadPart = static_cast<LONGLONG>(length - offset);
    FILE_ALLOCATED_RANGE_BUFFER range;
    DWORD returned = 0;
    const BOOL answered = ::DeviceIoControl(file_, FSCTL_QUERY_ALLOCATED_RANGES, &query,
                                            sizeof query, &range, sizeof range, &returned, nullptr);
    if (!answered && ::GetLastError() != ERROR_MORE_DATA) {
      return ImageFile::FindData(offset, begin, end);
    }
    if (returned < sizeof range) {
      *begin = *end = length;  // nothing but a hole up to the end
      return true;
    }
    const auto from = static_cast<uint64_t>(range.FileOffset.QuadPart);
    *begin = std::clamp(from, offset, length);
    *end = std::clamp(from + static_cast<uint64_t>(range.Length.QuadPart), *begin, length);
    return true;
  }

  bool Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    const bool closed = ::CloseHandle(file) != 0;
    if (empty_when_dropped_) StopEmptyingOnInterrupt();
    return closed;
  }

 private:
  HANDLE file_;
  bool on_disk_;
  bool empty_when_dropped_;
};

class WindowsSourceFile final : public SourceFile {
 public:
  WindowsSourceFile(HANDLE file, const FileIdentity& identity) : file_(file), identity_(identity) {}
  ~WindowsSourceFile() override { ::CloseHandle(file_); }
  WindowsSourceFile(const WindowsSourceFile&) = delete;
  WindowsSourceFile& operator=(const WindowsSourceFile&) = delete;

  ptrdiff_t Read(char* data, size_t count) override {
    DWORD got = 0;
    const auto take = static_cast<DWORD>(std::min<size_t>(count, DWORD{1} << 30));
    if (!::ReadFile(file_, data, take, &got, nullptr)) return -1;
    return static_cast<ptrdiff_t>(got);
  }
  bool Changed() override { return !(IdentityOf(file_) == identity_); }

 private:
  HANDLE file_;
  FileIdentity identity_;
};

// Opens path for reading if it is a file on disk; others may go on reading and writing it.
HANDLE OpenForReading(const std::string& path) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (!IsDiskFile(file)) {
    ::CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// The folder a path is in ('\' and '/' alike), and its last component.
std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return path.substr(0, slash == 0 || path[slash - 1] == L':' ? slash + 1 : slash);
}
std::wstring BaseOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A name for a new file in folder, unlikely to be taken: the caller creates it exclusively
// and tries another if it is.
std::wstring TemporaryName(const std::wstring& folder, const std::wstring& base) {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  const uint64_t entropy =
      static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{::GetCurrentProcessId()} << 32);
  std::wstring name = folder;
  if (!name.empty() && name.back() != L'\\' && name.back() != L'/') name += L'\\';
  return name + Wide(file::TemporaryName(Utf8(base), entropy));
}

// A new hidden file in folder, open for reading and writing and shared with no one, that
// Windows deletes when the last handle to it closes, however the process ends. Invalid if the
// folder takes no new file.
HANDLE CreateTemporaryFile(const std::wstring& folder, const std::wstring& base, std::wstring* name,
                           DWORD attributes, DWORD access = 0) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = TemporaryName(folder, base);
    const HANDLE file = ::CreateFileW(name->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE | access,
                                      0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      if (SetDeleteOnClose(file, true)) {
        // Long zero runs become holes where the file system has them.
        DWORD returned = 0;
        ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        return file;
      }
      ::CloseHandle(file);
      ::DeleteFileW(name->c_str());
      return INVALID_HANDLE_VALUE;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

class WindowsDestination final : public Destination {
 public:
  // A destination that is replaced: target is where the replacement (now at name) goes,
  // attributes those to give it (an existing file's own).
  WindowsDestination(std::wstring target, HANDLE replacement, std::wstring name, DWORD attributes)
      : target_(std::move(target)),
        replacement_(std::make_unique<WindowsFile>(replacement, true, WindowsFile::Role::kOwn)),
        name_(std::move(name)),
        attributes_(attributes) {}
  // A destination written in place, open for writing and shared with no one.
  WindowsDestination(HANDLE in_place, bool on_disk) : in_place_(in_place), on_disk_(on_disk) {}

  ~WindowsDestination() override {
    if (in_place_ != INVALID_HANDLE_VALUE) ::CloseHandle(in_place_);
  }
  WindowsDestination(const WindowsDestination&) = delete;
  WindowsDestination& operator=(const WindowsDestination&) = delete;

  ImageFile* Replacement() override { return replacement_.get(); }

  bool Replace() override {
    if (!replacement_) return false;
    const HANDLE file = replacement_->handle();
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes_;
    // The rename goes through the open handle: no other process can take the file between,
    // and from the moment it has the destination's name it is kept.
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + target_.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target_.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target_.data(), target_.size() * sizeof(wchar_t));
    if (!::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) ||
        !SetDeleteOnClose(file, false)) {
      return false;
    }
    if (::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                     static_cast<DWORD>(buffer.size()))) {
      return replacement_->Close();
    }
    // Where a rename through the handle is not to be had: closed, then moved by name.
    const bool closed = replacement_->Close();
    if (closed && ::MoveFileExW(name_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return true;
    }
    ::DeleteFileW(name_.c_str());
    return false;
  }

  std::unique_ptr<ImageFile> OpenInPlace() override {
    if (replacement_ || in_place_ == INVALID_HANDLE_VALUE) return nullptr;
    const HANDLE file = in_place_;
    in_place_ = INVALID_HANDLE_VALUE;
    if (on_disk_ && !(MoveTo(file, 0) && ::SetEndOfFile(file))) {
      ::CloseHandle(file);
      return nullptr;
    }
    return std::make_unique<WindowsFile>(file, on_disk_, WindowsFile::Role::kInPlace);
  }

 private:
  std::wstring target_;
  std::unique_ptr<WindowsFile> replacement_;
  std::wstring name_;
  DWORD attributes_ = FILE_ATTRIBUTE_NORMAL;
  HANDLE in_place_ = INVALID_HANDLE_VALUE;
  bool on_disk_ = false;
};

// The absolute form of path, as Windows forms it.
std::wstring FullWidePath(const std::wstring& path) {
  const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return path;
  full.resize(written);
  return full;
}

// The path a handle's file is at, with links followed, as a path Windows opens.
std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

}  // namespace

std::unique_ptr<SourceFile> WindowsFileSystem::OpenSource(const std::string& path,
                                                          FileIdentity* identity) {
  Handle file(OpenForReading(path));
  if (!file.valid()) return nullptr;
  const FileIdentity opened = IdentityOf(file.get());
  if (identity != nullptr) *identity = opened;
  auto source = std::make_unique<WindowsSourceFile>(file.get(), opened);
  file.release();
  return source;
}

std::unique_ptr<ImageReader> WindowsFileSystem::OpenImage(const std::string& path) {
  Handle file(OpenForReading(path));
  if (!file.valid()) return nullptr;
  auto image = std::make_unique<WindowsFile>(file.get(), true, WindowsFile::Role::kOwn);
  file.release();
  return image;
}

std::unique_ptr<Destination> WindowsFileSystem::OpenDestination(
    const std::string& path, std::span<const FileIdentity> keep) {
  if (path.empty()) return nullptr;
  const std::wstring wide = Wide(path);
  if (wide.back() == L'\\' || wide.back() == L'/') return nullptr;
  // Opened as a writer opens it, shared with no one (a second pibgen is refused), but neither
  // created nor emptied; and, where it may be, to read who owns it and who may use it.
  bool security_readable = true;
  HANDLE opened = ::CreateFileW(wide.c_str(), GENERIC_WRITE | READ_CONTROL, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  DWORD error = ::GetLastError();
  if (opened == INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED) {
    security_readable = false;
    opened = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    error = ::GetLastError();
  }
  Handle file(opened);
  bool on_disk = false;
  std::wstring target = FullWidePath(wide);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (file.valid()) {
    if (IsAnyOf(IdentityOf(file.get()), keep)) return nullptr;
    on_disk = IsDiskFile(file.get(), &attributes);
    if (on_disk) {
      // A read-only file is not to be written, whoever runs the program.
      if (attributes & FILE_ATTRIBUTE_READONLY) return nullptr;
      const std::wstring final_path = FinalPath(file.get());  // a symbolic link's target
      if (!final_path.empty()) target = final_path;
    }
  } else if (error != ERROR_FILE_NOT_FOUND) {
    return nullptr;  // a folder, a missing folder, no permission, in use, ...
  }

  if (!file.valid() || on_disk) {
    // A replacement takes over the old file's owner, group and DACL, or there is none: a new
    // file must not grant more than the old one did, nor change hands.
    Security security;
    const bool replaces = file.valid();
    if (!replaces || (security_readable && security.Read(file.get()))) {
      const DWORD access =
          replaces ? READ_CONTROL | WRITE_DAC | (security.NeedsNewOwner() ? WRITE_OWNER : 0) : 0;
      std::wstring name;
      Handle replacement(CreateTemporaryFile(FolderOf(target), BaseOf(target), &name,
                                             FILE_ATTRIBUTE_HIDDEN, access));
      if (replacement.valid() && (!replaces || security.ApplyTo(replacement.get()))) {
        auto destination =
            std::make_unique<WindowsDestination>(target, replacement.get(), name, attributes);
        replacement.release();
        return destination;
      }
    }
    // A folder that takes no new file, or a file whose owner or DACL a new file cannot take:
    // an existing file is written in place, as it may be.
    if (!replaces) return nullptr;
  }
  auto destination = std::make_unique<WindowsDestination>(file.get(), on_disk);
  file.release();
  return destination;
}

std::unique_ptr<ImageFile> WindowsFileSystem::CreateScratchFile() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length > folder.size()) return nullptr;
  folder.resize(length);
  std::wstring name;
  Handle file(CreateTemporaryFile(folder, L"scratch", &name,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY));
  if (!file.valid()) return nullptr;
  auto scratch = std::make_unique<WindowsFile>(file.get(), true, WindowsFile::Role::kOwn);
  file.release();
  return scratch;
}

FileIdentity WindowsFileSystem::StandardOutput() {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE || !IsDiskFile(output)) return {};
  return IdentityOf(output);
}

std::string WindowsFileSystem::FullPath(const std::string& path) {
  return path.empty() ? path : Utf8(FullWidePath(Wide(path)));
}

}  // namespace pibgen::file
