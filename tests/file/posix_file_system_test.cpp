#include "file/posix_file_system.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "scratch_directory.h"

namespace pibgen::file {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Made()); }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  static void Put(const std::string& path, const std::string& contents) {
    pibgen::testing::ScratchDirectory::Put(path, contents);
  }
  static std::string Get(const std::string& path) {
    return pibgen::testing::ScratchDirectory::Get(path);
  }

  pibgen::testing::ScratchDirectory scratch_{"file-test"};
  const std::string& dir_ = scratch_.Dir();
  PosixFileSystem files_;
};

TEST_F(PosixFileSystemTest, ReadsWholeRegularFilesOnly) {
  Put(Path("a.xml"), std::string(100000, 'x'));
  std::string contents;
  FileIdentity identity;
  ASSERT_TRUE(files_.ReadWholeFile(Path("a.xml"), &contents, &identity));
  EXPECT_EQ(contents, std::string(100000, 'x'));
  EXPECT_TRUE(identity.known);

  EXPECT_FALSE(files_.ReadWholeFile("", &contents, &identity));
  EXPECT_FALSE(files_.ReadWholeFile(Path("missing.xml"), &contents, &identity));
  EXPECT_FALSE(files_.ReadWholeFile(dir_, &contents, &identity));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(files_.ReadWholeFile(Path("fifo"), &contents, &identity));  // must not block
}

// Reads the whole file through OpenSource, block bytes at a time.
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
  Put(Path("image.bin"), data);
  auto file = files_.OpenSource(Path("image.bin"), nullptr);
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadInBlocks(*file, 4096), data);
  EXPECT_EQ(file->Read(data.data(), 10), 0);  // stays at the end

  Put(Path("empty.bin"), "");
  auto empty = files_.OpenSource(Path("empty.bin"), nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(ReadInBlocks(*empty, 16), "");

  EXPECT_FALSE(files_.OpenSource("", nullptr));
  EXPECT_FALSE(files_.OpenSource(Path("missing.bin"), nullptr));
  EXPECT_FALSE(files_.OpenSource(dir_, nullptr));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(files_.OpenSource(Path("fifo"), nullptr));  // must not block
}

TEST_F(PosixFileSystemTest, CreateTruncatesAndWritesReadsBack) {
  Put(Path("image.bin"), "previous, longer contents");
  auto image = files_.CreateImage(Path("image.bin"), {});
  ASSERT_TRUE(image);
  const uint8_t bytes[] = {1, 2, 3, 4};
  ASSERT_TRUE(image->Write(bytes, 4));
  uint64_t length = 0;
  ASSERT_TRUE(image->Length(&length));
  EXPECT_EQ(length, 4u);
  uint8_t back[2] = {};
  ASSERT_TRUE(image->Seek(2));
  ASSERT_TRUE(image->Read(back, 2));
  EXPECT_EQ(back[0], 3);
  EXPECT_EQ(back[1], 4);
  EXPECT_FALSE(image->Read(back, 1));  // past the end
  ASSERT_TRUE(image->Close());
  EXPECT_EQ(Get(Path("image.bin")), std::string("\x01\x02\x03\x04"));
}

// Whether another process, as a second pibgen run would, gets the image at path.
bool CreatedByAnotherProcess(PosixFileSystem& files, const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(files.CreateImage(path, {}) ? 0 : 1);
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST_F(PosixFileSystemTest, SecondWriterIsRefusedWhileTheFirstHoldsTheFile) {
  auto first = files_.CreateImage(Path("image.bin"), {});
  ASSERT_TRUE(first);
  const uint8_t byte = 9;
  ASSERT_TRUE(first->Write(&byte, 1));
  EXPECT_FALSE(CreatedByAnotherProcess(files_, Path("image.bin")));
  EXPECT_EQ(Get(Path("image.bin")), "\x09");  // the refused open did not truncate
  ASSERT_TRUE(first->Close());
  EXPECT_TRUE(CreatedByAnotherProcess(files_, Path("image.bin")));
}

TEST_F(PosixFileSystemTest, RefusesTheDescriptionItselfUnderAnyName) {
  Put(Path("fields.xml"), "<r/>");
  ASSERT_EQ(::symlink(Path("fields.xml").c_str(), Path("link.bin").c_str()), 0);
  ASSERT_EQ(::link(Path("fields.xml").c_str(), Path("hard.bin").c_str()), 0);
  std::string contents;
  FileIdentity identity;
  ASSERT_TRUE(files_.ReadWholeFile(Path("fields.xml"), &contents, &identity));
  EXPECT_FALSE(files_.CreateImage(Path("fields.xml"), {&identity, 1}));
  EXPECT_FALSE(files_.CreateImage(Path("link.bin"), {&identity, 1}));
  EXPECT_FALSE(files_.CreateImage(Path("hard.bin"), {&identity, 1}));
  EXPECT_EQ(Get(Path("fields.xml")), "<r/>");
}

TEST_F(PosixFileSystemTest, RefusesWhatCannotHoldAnImage) {
  EXPECT_FALSE(files_.CreateImage("", {}));
  EXPECT_FALSE(files_.CreateImage(dir_, {}));
  EXPECT_FALSE(files_.CreateImage(Path("missing/image.bin"), {}));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(files_.CreateImage(Path("fifo"), {}));
}

TEST_F(PosixFileSystemTest, DiscardEmptiesTheImage) {
  auto image = files_.CreateImage(Path("image.bin"), {});
  ASSERT_TRUE(image);
  const uint8_t bytes[] = {1, 2, 3};
  ASSERT_TRUE(image->Write(bytes, 3));
  image->Discard();
  EXPECT_EQ(Get(Path("image.bin")), "");
}

// Zero runs may become holes; whatever the file system does, the bytes read back are exact and
// every non-zero byte lies in a stretch FindData reports.
TEST_F(PosixFileSystemTest, ZeroRunsReadBackAsZerosAndDataIsFound) {
  Put(Path("image.bin"), "stale");
  auto image = files_.CreateImage(Path("image.bin"), {});
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
  std::string found(expected_length, '\0');
  for (uint64_t position = 0; position < length;) {
    uint64_t begin = 0;
    uint64_t end = 0;
    ASSERT_TRUE(image->FindData(position, &begin, &end));
    ASSERT_GE(begin, position);
    ASSERT_LE(end, length);
    if (begin == end) break;
    ASSERT_TRUE(image->Seek(begin));
    ASSERT_TRUE(image->Read(reinterpret_cast<uint8_t*>(found.data() + begin), end - begin));
    position = end;
  }
  EXPECT_TRUE(found == expected) << "a non-zero byte was outside every data stretch";
  ASSERT_TRUE(image->Close());
  EXPECT_TRUE(Get(Path("image.bin")) == expected);
}

TEST_F(PosixFileSystemTest, ZeroRunsToADeviceAreRealWrites) {
  auto image = files_.CreateImage("/dev/full", {});
  if (!image) GTEST_SKIP() << "/dev/full is not available";
  EXPECT_FALSE(image->WriteZeros(1u << 20));
}

TEST_F(PosixFileSystemTest, WriteToAFullDeviceFails) {
  auto image = files_.CreateImage("/dev/full", {});
  if (!image) GTEST_SKIP() << "/dev/full is not available";
  const uint8_t byte = 1;
  EXPECT_FALSE(image->Write(&byte, 1));
}

// Runs body in a child process where system call `number` fails with `error` whenever its
// argument `argument` is `value` (any value if argument is negative). Returns the body's result,
// or nullopt if the kernel will not filter system calls.
std::optional<bool> WithFailingCall(int number, int argument, uint32_t value, int error,
                                    const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    const auto fail = static_cast<uint32_t>(SECCOMP_RET_ERRNO | static_cast<uint32_t>(error));
    const uint32_t argument_at =
        offsetof(seccomp_data, args) + static_cast<uint32_t>(argument < 0 ? 0 : argument) * 8;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(number), 0, 3),
        BPF_JUMP(BPF_JMP | BPF_JA, argument < 0 ? 3u : 0u, 0, 0),  // any argument: fail
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument_at),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 1, 0),
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

// File systems that cannot tell holes, and a close that reports a lost write.
TEST_F(PosixFileSystemTest, SurvivesSystemCallsThatFail) {
  const std::string path = Path("image.bin");
  const uint8_t data[] = {1, 2, 3, 4};
  struct Case {
    const char* name;
    int number;
    int argument;
    uint32_t value;
    int error;
    std::function<bool()> body;
  };
  const Case cases[] = {
      {"no SEEK_DATA: the rest is data", SYS_lseek, 2, SEEK_DATA, EINVAL,
       [&] {
         auto image = files_.CreateImage(path, {});
         uint64_t begin = 0;
         uint64_t end = 0;
         return image && image->Write(data, 4) && image->WriteZeros(5u << 20) &&
                image->FindData(1, &begin, &end) && begin == 1 && end == 4 + (5u << 20);
       }},
      {"no SEEK_HOLE: the rest is data", SYS_lseek, 2, SEEK_HOLE, EINVAL,
       [&] {
         auto image = files_.CreateImage(path, {});
         uint64_t begin = 0;
         uint64_t end = 0;
         return image && image->Write(data, 4) && image->FindData(2, &begin, &end) && begin == 2 &&
                end == 4;
       }},
      {"failed close: the image is emptied", SYS_close, -1, 0, EIO,
       [&] {
         auto image = files_.CreateImage(path, {});
         return image && image->Write(data, 4) && !image->Close() && Get(path).empty();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(path, "old");
    const std::optional<bool> result =
        WithFailingCall(c.number, c.argument, c.value, c.error, c.body);
    if (!result) GTEST_SKIP() << "system calls cannot be filtered here";
    EXPECT_TRUE(*result);
  }
}

}  // namespace
}  // namespace pibgen::file
