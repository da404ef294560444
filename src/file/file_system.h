#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pibgen::file {

// Which file a path named when it was read, and in which state, so a later open can tell it
// is the same file and, by its size and its modification and change times, unchanged.
struct FileIdentity {
  bool known = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The reading side of an image: what computing or checking its checksum needs.
class ImageReader {
 public:
  virtual ~ImageReader() = default;
  virtual bool Length(uint64_t* length) = 0;
  // Moves the position to offset bytes from the start.
  virtual bool Seek(uint64_t offset) = 0;
  // Reads exactly count bytes at the current position and advances it.
  virtual bool Read(uint8_t* data, size_t count) = 0;
  // Finds the first stretch of stored data at or after offset, [*begin, *end): every byte from
  // offset up to *begin reads as zero. With no data left both are the length. A file without
  // holes has all the rest as data. May move the position.
  virtual bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) {
    uint64_t length = 0;
    if (!Length(&length)) return false;
    *begin = offset < length ? offset : length;
    *end = length;
    return true;
  }
};

// An open image file. Each call reports success; a failed call leaves the file in an
// unspecified state that only Discard() or the destructor may follow.
class ImageFile : public ImageReader {
 public:
  // Writes all count bytes at the current position and advances it.
  virtual bool Write(const uint8_t* data, size_t count) = 0;
  virtual bool Flush() = 0;
  // False for a stream that passes the bytes on and cannot give them back, such as a
  // character device (/dev/null, a terminal).
  virtual bool CanReadBack() const { return true; }
  // Writes count zero bytes at the current position and advances it. A file may leave a hole
  // for them instead of storing them; they read back as zeros all the same.
  virtual bool WriteZeros(uint64_t count) {
    static constexpr uint8_t kZeros[size_t{1} << 16] = {};
    while (count > 0) {
      const size_t take = count < sizeof kZeros ? static_cast<size_t>(count) : sizeof kZeros;
      if (!Write(kZeros, take)) return false;
      count -= take;
    }
    return true;
  }
  // Closes the file; if that fails, the file is left empty.
  virtual bool Close() = 0;
  // Empties the file and closes it: what is left after a failure must not look finished.
  // Nothing is ever deleted.
  virtual void Discard() = 0;
};

// A file opened to be read once from start to end: a description.
class SourceFile {
 public:
  virtual ~SourceFile() = default;
  // Reads up to count bytes into data; returns how many, 0 at the end, -1 on failure.
  virtual ptrdiff_t Read(char* data, size_t count) = 0;
};

// The program's window on files: reading the description and creating the image. Tests and
// the fuzzer put an in-memory implementation in its place.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool ReadWholeFile(const std::string& path, std::string* contents,
                             FileIdentity* identity) = 0;
  // Opens a regular file to be read in pieces, so a large one is never held whole. Refuses
  // what ReadWholeFile refuses. The default serves what ReadWholeFile returns; identity may
  // be null.
  virtual std::unique_ptr<SourceFile> OpenSource(const std::string& path, FileIdentity* identity);
  // Opens an existing regular file to read as an image, to verify it. Refuses what OpenSource
  // refuses. The default reads the whole file through OpenSource into memory.
  virtual std::unique_ptr<ImageReader> OpenImage(const std::string& path);
  // Creates path, or truncates it if it exists, for reading and writing, and holds it
  // exclusively while open. Returns null if it cannot, if another holder has it, or if it
  // is one of the files in `keep`: the description, and where standard output goes, must
  // never be overwritten by the image.
  virtual std::unique_ptr<ImageFile> CreateImage(const std::string& path,
                                                 std::span<const FileIdentity> keep) = 0;
  // Which file standard output writes to, when an image could be created there too: a
  // regular file or a block device. Unknown for anything else (a terminal, a pipe,
  // /dev/null), and by default.
  virtual FileIdentity StandardOutput() { return {}; }
  virtual std::string CurrentDirectory() = 0;
};

}  // namespace pibgen::file
