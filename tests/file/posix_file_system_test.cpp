#include "file/posix_file_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "file/file_layer_test.h"

namespace pibgen::file {
namespace {

class PosixFileSystemTest : public FileLayerTest<PosixFileSystem> {
 protected:
  const std::string& dir_ = scratch_.Dir();
};

// Reads the whole source, block bytes at a time.
std::string ReadInBlocks(SourceFile& file, size_t block) {
  std::string contents;
  std::string buffer(block, '\0');
  for (ptrdiff_t got; (got = file.Read(buffer.data(), block)) > 0;) {
    contents.append(buffer, 0, static_cast<size_t>(got));
  }
  return contents;
}

TEST_F(PosixFileSystemTest, OpensRegularFilesForReadingInBlocks) {
  std::string data;
  for (int i = 0; i < 300000; ++i) data += static_cast<char>(i * 7);
  Put(Path("a.xml"), data);
  for (size_t block : {size_t{7}, size_t{4096}, size_t{1} << 20}) {
    FileIdentity identity;
    auto file = files_.OpenSource(Path("a.xml"), &identity);
    ASSERT_TRUE(file);
    EXPECT_TRUE(identity.known);
    EXPECT_EQ(ReadInBlocks(*file, block), data);
    EXPECT_EQ(file->Read(data.data(), 10), 0);  // stays at the end
    EXPECT_FALSE(file->Changed());
  }
  EXPECT_FALSE(files_.OpenSource("", nullptr));
  EXPECT_FALSE(files_.OpenSource(Path("missing.bin"), nullptr));
  EXPECT_FALSE(files_.OpenSource(dir_, nullptr));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(files_.OpenSource(Path("fifo"), nullptr));  // must not block
}

TEST_F(PosixFileSystemTest, ASourceWrittenToWhileOpenTellsItChanged) {
  Put(Path("a.xml"), "<r/>");
  auto source = files_.OpenSource(Path("a.xml"), nullptr);
  ASSERT_TRUE(source);
  const int fd = ::open(Path("a.xml").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "<q/>", 4, 0), 4);  // same size; the times tell
  ::close(fd);
  timespec stamps[2] = {{0, UTIME_OMIT}, {1, 0}};  // a modification time surely different
  ASSERT_EQ(::utimensat(AT_FDCWD, Path("a.xml").c_str(), stamps, 0), 0);
  EXPECT_TRUE(source->Changed());
}

TEST_F(PosixFileSystemTest, ReplacesTheDestinationWholeAndKeepsItsPermissions) {
  Put(Path("image.bin"), "an older image");
  ASSERT_EQ(::chmod(Path("image.bin").c_str(), 0640), 0);
  ASSERT_EQ(::link(Path("image.bin").c_str(), Path("hard.bin").c_str()), 0);
  ASSERT_EQ(::symlink("image.bin", Path("link.bin").c_str()), 0);
  auto destination = files_.OpenDestination(Path("link.bin"), {});
  ASSERT_TRUE(destination);
  ASSERT_TRUE(Write(destination->Replacement(), "new"));
  const uint8_t stamp = '!';
  ASSERT_TRUE(destination->Replacement()->WriteAt(1, &stamp, 1));
  EXPECT_EQ(Get(Path("image.bin")), "an older image");  // nothing shows before the replace
  ASSERT_TRUE(destination->Replace());
  EXPECT_EQ(Get(Path("image.bin")), "n!w");
  EXPECT_EQ(Get(Path("hard.bin")), "an older image");  // a hard link keeps the old file
  struct stat status;
  ASSERT_EQ(::lstat(Path("link.bin").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link must stay a link";
  ASSERT_EQ(::stat(Path("image.bin").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(scratch_.Names(), "hard.bin image.bin link.bin");
}

TEST_F(PosixFileSystemTest, ANewImageTakesTheUsualPermissionsAndADroppedOneLeavesNothing) {
  const mode_t mask = ::umask(022);
  for (const bool replaced : {false, true}) {
    auto destination = files_.OpenDestination(Path("new.bin"), {});
    ASSERT_TRUE(destination);
    ASSERT_TRUE(Write(destination->Replacement(), "bytes"));
    if (replaced) {
      ASSERT_TRUE(destination->Replace());
    }
    destination.reset();
    EXPECT_EQ(scratch_.Names(), replaced ? "new.bin" : "") << replaced;
  }
  ::umask(mask);
  struct stat status;
  ASSERT_EQ(::stat(Path("new.bin").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644u);
}

TEST_F(PosixFileSystemTest, RefusesWhereAnOpenForWritingFails) {
  Put(Path("fields.xml"), "<r/>");
  ASSERT_EQ(::symlink(Path("fields.xml").c_str(), Path("link.bin").c_str()), 0);
  ASSERT_EQ(::link(Path("fields.xml").c_str(), Path("hard.bin").c_str()), 0);
  FileIdentity description;
  ASSERT_TRUE(files_.OpenSource(Path("fields.xml"), &description));
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, Path("socket").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const std::string& path :
       {std::string(), dir_, Path("missing/image.bin"), Path("fields.xml"), Path("link.bin"),
        Path("hard.bin"), Path("socket"), Path("image.bin/")}) {
    EXPECT_FALSE(files_.OpenDestination(path, {&description, 1})) << path;
  }
  ::close(listener);
  EXPECT_EQ(Get(Path("fields.xml")), "<r/>");
  if (::geteuid() != 0) {  // root may write any file
    Put(Path("read-only.bin"), "old");
    ASSERT_EQ(::chmod(Path("read-only.bin").c_str(), 0444), 0);
    EXPECT_FALSE(files_.OpenDestination(Path("read-only.bin"), {}));
  }
}

TEST_F(PosixFileSystemTest, WritesDevicesAndFifosInPlace) {
  auto null = files_.OpenDestination("/dev/null", {});
  ASSERT_TRUE(null);
  EXPECT_EQ(null->Replacement(), nullptr);
  auto written = null->OpenInPlace();
  EXPECT_TRUE(Write(written.get(), "gone") && written->Close());

  auto full = files_.OpenDestination("/dev/full", {});
  if (full) {
    auto device = full->OpenInPlace();
    ASSERT_TRUE(device);
    EXPECT_FALSE(device->WriteZeros(1u << 20)) << "zero runs to a device are real writes";
  }

  // A FIFO is not refused before a reader opens it; the image waits for one.
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  auto fifo = files_.OpenDestination(Path("fifo"), {});
  ASSERT_TRUE(fifo);
  EXPECT_EQ(fifo->Replacement(), nullptr);
  std::string received;
  std::thread reader([&] { received = Get(Path("fifo")); });
  auto pipe = fifo->OpenInPlace();
  EXPECT_TRUE(Write(pipe.get(), "through") && pipe->Close());
  pipe.reset();
  reader.join();
  EXPECT_EQ(received, "through");
}

// Zero runs may become holes; whatever the file system does, the bytes read back are exact and
// every non-zero byte lies in a stretch FindData reports.
TEST_F(PosixFileSystemTest, ZeroRunsReadBackAsZerosAndDataIsFound) {
  auto image = files_.CreateScratchFile();
  ASSERT_TRUE(image);
  const uint8_t head[] = {1, 2, 3};
  const uint8_t middle[] = {4, 5};
  ASSERT_TRUE(image->Write(head, 3));
  ASSERT_TRUE(image->Seek(1));               // a zero run over stored bytes overwrites them
  ASSERT_TRUE(image->WriteZeros(5u << 20));  // and runs on past the end
  ASSERT_TRUE(image->Write(middle, 2));
  ASSERT_TRUE(image->WriteZeros(3u << 20));  // the image ends in a run
  uint64_t length = 0;
  ASSERT_TRUE(image->Length(&length));
  const uint64_t expected_length = 1 + (5u << 20) + 2 + (3u << 20);
  ASSERT_EQ(length, expected_length);

  std::string expected(expected_length, '\0');
  expected[0] = 1;
  expected[1 + (5u << 20)] = 4;
  expected[2 + (5u << 20)] = 5;
  const std::string found = ReadDataStretches(*image);
  EXPECT_TRUE(found == expected) << "a non-zero byte was outside every data stretch";
}

TEST_F(PosixFileSystemTest, ScratchFilesAreSeenByNoOne) {
  ::setenv("TMPDIR", dir_.c_str(), 1);
  auto scratch = files_.CreateScratchFile();
  ::unsetenv("TMPDIR");
  ASSERT_TRUE(Write(scratch.get(), "held"));
  EXPECT_EQ(scratch_.Names(), "");
}

// Runs body in a child process where system call `number` fails with `error` whenever its
// argument `argument` is `value` or `other` (any value if argument is negative). Returns the
// body's result, or nullopt if the kernel will not filter system calls.
std::optional<bool> WithFailingCall(int number, int argument, uint32_t value, int error,
                                    const std::function<bool()>& body, uint32_t other = ~0u) {
  const pid_t child = ::fork();
  if (child == 0) {
    const auto fail = static_cast<uint32_t>(SECCOMP_RET_ERRNO | static_cast<uint32_t>(error));
    const uint32_t argument_at =
        offsetof(seccomp_data, args) + static_cast<uint32_t>(argument < 0 ? 0 : argument) * 8;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(number), 0, 4),
        BPF_JUMP(BPF_JMP | BPF_JA, argument < 0 ? 4u : 0u, 0, 0),  // any argument: fail
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument_at),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, other, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, fail),
    };
    const sock_fprog filter = {static_cast<unsigned short>(std::size(program)), program};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0) {
      ::_exit(2);
    }
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
  if (WEXITSTATUS(status) == 2) return std::nullopt;
  return WEXITSTATUS(status) == 0;
}

// File systems that cannot tell holes, a close that reports a lost write, and a folder that
// takes no new file.
TEST_F(PosixFileSystemTest, SurvivesSystemCallsThatFail) {
  const std::string path = Path("image.bin");
  const uint8_t data[] = {1, 2, 3, 4};
  struct Case {
    const char* name;
    int number;
    int argument;
    uint32_t value;
    uint32_t other;
    int error;
    std::function<bool()> body;
  };
  const auto tmpfile_flags = static_cast<uint32_t>(O_TMPFILE | O_RDWR | O_CLOEXEC);
  const auto named_flags = static_cast<uint32_t>(O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC);
  const Case cases[] = {
      {"no SEEK_DATA: the rest is data", SYS_lseek, 2, SEEK_DATA, ~0u, EINVAL,
       [&] {
         auto image = files_.CreateScratchFile();
         uint64_t begin = 0;
         uint64_t end = 0;
         return image && image->Write(data, 4) && image->WriteZeros(5u << 20) &&
                image->FindData(1, &begin, &end) && begin == 1 && end == 4 + (5u << 20);
       }},
      {"no SEEK_HOLE: the rest is data", SYS_lseek, 2, SEEK_HOLE, ~0u, EINVAL,
       [&] {
         auto image = files_.CreateScratchFile();
         uint64_t begin = 0;
         uint64_t end = 0;
         return image && image->Write(data, 4) && image->FindData(2, &begin, &end) && begin == 2 &&
                end == 4;
       }},
      {"failed close: the old image stays", SYS_close, -1, 0, ~0u, EIO,
       [&] {
         auto destination = files_.OpenDestination(path, {});
         return destination && destination->Replacement()->Write(data, 4) &&
                !destination->Replace() && Get(path) == "old";
       }},
      {"a folder that takes no new file: written in place, locked", SYS_openat, 2, tmpfile_flags,
       named_flags, EACCES,
       [&] {
         auto destination = files_.OpenDestination(path, {});
         if (!destination || destination->Replacement() != nullptr) return false;
         // A second run is refused while the first holds the file.
         const pid_t child = ::fork();
         if (child == 0) ::_exit(files_.OpenDestination(path, {}) ? 0 : 1);
         int status = 0;
         const bool refused =
             ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 1;
         // The old bytes stay till written over; the end of the image ends the file.
         auto image = destination->OpenInPlace();
         return refused && image && Get(path) == "old" && image->Reserve(4) &&
                image->Write(data, 2) && image->Close() && Get(path) == "\x01\x02";
       }},
      {"a failed write in place empties the file", SYS_openat, 2, tmpfile_flags, named_flags,
       EACCES,
       [&] {
         auto destination = files_.OpenDestination(path, {});
         auto image = destination ? destination->OpenInPlace() : nullptr;
         if (!image || !image->Write(data, 4)) return false;
         image.reset();  // dropped unclosed, as after a failure
         return Get(path).empty();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(path, "old");
    const std::optional<bool> result =
        WithFailingCall(c.number, c.argument, c.value, c.error, c.body, c.other);
    if (!result) GTEST_SKIP() << "system calls cannot be filtered here";
    EXPECT_TRUE(*result);
  }
}

}  // namespace
}  // namespace pibgen::file
