#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pibgen::file {

// Which file a path named when it was opened, and in which state, so that a later look can
// tell it is the same file and, by its size and its modification and change times, unchanged.
struct FileIdentity {
  bool known = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  bool operator==(const FileIdentity&) const = default;
  // Whether both name the same file, whatever its state.
  bool SameFile(const FileIdentity& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};

// Whether file is one of files: one an image must never overwrite (the description, and where
// standard output goes, under whatever name).
inline bool IsAnyOf(const FileIdentity& file, std::span<const FileIdentity> files) {
  for (const FileIdentity& other : files) {
    if (file.SameFile(other)) return true;
  }
  return false;
}

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

// A file open for writing and reading back. Each call reports success; after a failed call
// the file is only closed or dropped.
class ImageFile : public ImageReader {
 public:
  // Writes all count bytes at the current position and advances it.
  virtual bool Write(const uint8_t* data, size_t count) = 0;
  // Writes count zero bytes at the current position and advances it. Where the file can leave
  // holes, the zeros that fall where it already reads as zeros (past its end) are not written:
  // the file is extended over them instead, so a huge fill costs neither time nor disk.
  virtual bool WriteZeros(uint64_t count);
  // Writes count bytes at offset, leaving the position where it was.
  virtual bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) = 0;
  // Makes room for length bytes ahead of writing them, where the file is written in place:
  // false if the disk has no room, the file as it was.
  virtual bool Reserve(uint64_t /*length*/) { return true; }
  // Whether and where holes can stand: kKnown with the position and the offset from which the
  // file is known to read as zeros (its end, or before it in space reserved there); kNone for a
  // file that stores every zero (a device, a pipe), kFailed if that cannot be told.
  enum class Holes { kNone, kKnown, kFailed };
  virtual Holes ZerosKnownFrom(uint64_t* /*position*/, uint64_t* /*zeros_from*/) {
    return Holes::kNone;
  }
  // For a file with holes: moves the position to end, past every byte written, and the end of
  // the file there if it lies short of it.
  virtual bool ExtendTo(uint64_t /*end*/) { return false; }

  // Closes the file. A regular file written in place ends where the writing ended, and is left
  // empty if that fails.
  virtual bool Close() = 0;
};

// Writes count zero bytes, every one, at the file's position.
bool WriteZeroBytes(ImageFile& file, uint64_t count);

// A file opened to be read once from start to end: a description.
class SourceFile {
 public:
  virtual ~SourceFile() = default;
  // Reads up to count bytes into data; returns how many, 0 at the end, -1 on failure.
  virtual ptrdiff_t Read(char* data, size_t count) = 0;
  // Whether the file's size, modification or change time differ from when it was opened (or
  // cannot be told any more): then what was read may be part old, part new.
  virtual bool Changed() = 0;
};

// Where an image goes, looked at before anything is written and held until the image is in
// place. Nothing at the destination changes before Replace or OpenInPlace; dropped before
// then, it leaves nothing behind.
class Destination {
 public:
  virtual ~Destination() = default;
  // A new, empty file that Replace puts in the destination's place, whole; null where the
  // destination is written in place: a device, a FIFO, or a regular file whose folder takes no
  // new file.
  virtual ImageFile* Replacement() = 0;
  // Gives the replacement what the destination grants (new files get the usual permission
  // bits) and puts it in the destination's place in one step: a reader sees the old file or
  // the new one, never a mix. A symbolic link is followed: its target is replaced, the link
  // stays.
  virtual bool Replace() = 0;
  // After a failed Replace: whether the destination is to be written in place instead (the
  // folder refused the rename, or the new file could not take what the old one grants). The
  // image stays readable in Replacement(), to be copied through OpenInPlace.
  virtual bool WriteInPlaceInstead() { return false; }
  // The destination itself, open for writing; for when there is no replacement, or after
  // WriteInPlaceInstead. A regular file keeps its old bytes until written over. Null if it
  // cannot be opened.
  virtual std::unique_ptr<ImageFile> OpenInPlace() = 0;
};

// The program's window on files. Tests and the fuzzer put an in-memory implementation in its
// place.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a regular file to be read in pieces, so a large one is never held whole; identity,
  // when not null, tells which file it is. Refuses an empty path and anything but a regular
  // file, without blocking on a FIFO.
  virtual std::unique_ptr<SourceFile> OpenSource(const std::string& path,
                                                 FileIdentity* identity) = 0;
  // Opens an existing regular file to read as an image, to verify or decode it.
  virtual std::unique_ptr<ImageReader> OpenImage(const std::string& path) = 0;
  // The destination of an image, refused (null) exactly where an open for writing would fail:
  // an empty path, a directory, a missing folder, a file that may not be written, a pipe or
  // socket no writer may open, and any of the files in `keep` (the description, and where
  // standard output goes, under whatever name), which the image must never overwrite.
  virtual std::unique_ptr<Destination> OpenDestination(const std::string& path,
                                                       std::span<const FileIdentity> keep) = 0;
  // An empty file in the folder for temporary files, which no other process sees and which
  // goes when it is dropped or the process ends, however it ends.
  virtual std::unique_ptr<ImageFile> CreateScratchFile() = 0;
  // The same, for an image written in place at path: where the folder for temporary files
  // takes no file, another that does, up to path's own folder.
  virtual std::unique_ptr<ImageFile> CreateScratchFileNear(const std::string& /*path*/) {
    return CreateScratchFile();
  }
  // Which file standard output writes to, when an image could be created there too: a
  // regular file or a block device. Unknown for anything else (a terminal, a pipe,
  // /dev/null), and by default.
  virtual FileIdentity StandardOutput() { return {}; }
  // The absolute form of path, as the system would form it to open it.
  virtual std::string FullPath(const std::string& path) = 0;
};

}  // namespace pibgen::file
