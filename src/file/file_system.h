#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pibgen::file {

// Which file a path named when it was read, so a later open can tell it is the same one.
struct FileIdentity {
  bool known = false;
  uint64_t device = 0;
  uint64_t inode = 0;
};

// An open image file. Each call reports success; a failed call leaves the file in an
// unspecified state that only Discard() or the destructor may follow.
class ImageFile {
 public:
  virtual ~ImageFile() = default;
  // Writes all count bytes at the current position and advances it.
  virtual bool Write(const uint8_t* data, size_t count) = 0;
  virtual bool Flush() = 0;
  virtual bool Length(uint64_t* length) = 0;
  // Moves the position to offset bytes from the start.
  virtual bool Seek(uint64_t offset) = 0;
  // Reads exactly count bytes at the current position and advances it.
  virtual bool Read(uint8_t* data, size_t count) = 0;
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
  // Closes the file; if that fails, the file is left empty.
  virtual bool Close() = 0;
  // Empties the file and closes it: what is left after a failure must not look finished.
  // Nothing is ever deleted.
  virtual void Discard() = 0;
};

// A file opened to be read once from start to end: a description, or an image to verify.
class SourceFile {
 public:
  virtual ~SourceFile() = default;
  // Reads up to count bytes into data; returns how many, 0 at the end, -1 on failure.
  virtual ptrdiff_t Read(char* data, size_t count) = 0;
};

// An existing image opened only to be read, at any offset: what the decoder and the verifier
// compare a layout against. Nothing can write through it.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual bool Length(uint64_t* length) = 0;
  // Reads exactly count bytes starting at offset.
  virtual bool ReadAt(uint64_t offset, uint8_t* data, size_t count) = 0;
  // As ImageFile::FindData: the first stretch of stored data at or after offset. The default
  // has all the rest as data.
  virtual bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end);
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
  // Opens an existing regular file to be read as an image; refuses what OpenSource refuses.
  // The default serves what ReadWholeFile returns.
  virtual std::unique_ptr<ImageSource> OpenImageSource(const std::string& path);
  // Creates path, or truncates it if it exists, for reading and writing, and holds it
  // exclusively while open. Returns null if it cannot, if another holder has it, or if it
  // is the file `keep` (the description must never be overwritten by its own image).
  virtual std::unique_ptr<ImageFile> CreateImage(const std::string& path,
                                                 const FileIdentity& keep) = 0;
  virtual std::string CurrentDirectory() = 0;
};

}  // namespace pibgen::file
