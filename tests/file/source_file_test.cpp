#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "file/memory_file_system.h"
#include "file/posix_file_system.h"
#include "scratch_directory.h"

namespace pibgen::file {
namespace {

// Everything a source file gives, read in pieces of the given size.
std::string ReadAll(SourceFile& source, size_t piece) {
  std::string contents;
  std::string buffer(piece, '\0');
  while (true) {
    const ptrdiff_t got = source.Read(buffer.data(), buffer.size());
    EXPECT_GE(got, 0);
    if (got <= 0) return contents;
    contents.append(buffer.data(), static_cast<size_t>(got));
  }
}

class PosixSourceFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Made()); }
  std::string Path(const std::string& name) const { return scratch_.Path(name); }

  pibgen::testing::ScratchDirectory scratch_{"source-test"};
  const std::string& dir_ = scratch_.Dir();
  PosixFileSystem files_;
};

TEST_F(PosixSourceFileTest, GivesWhatReadWholeFileGivesInPieces) {
  std::string data(300000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 1000);
  std::ofstream(Path("a.xml"), std::ios::binary) << data;

  std::string whole;
  FileIdentity whole_identity;
  ASSERT_TRUE(files_.ReadWholeFile(Path("a.xml"), &whole, &whole_identity));
  for (size_t piece : {size_t{7}, size_t{4000}, size_t{1} << 20}) {
    FileIdentity identity;
    auto source = files_.OpenSource(Path("a.xml"), &identity);
    ASSERT_TRUE(source);
    EXPECT_EQ(ReadAll(*source, piece), whole) << piece;
    EXPECT_TRUE(identity.known);
    EXPECT_EQ(identity.device, whole_identity.device);
    EXPECT_EQ(identity.inode, whole_identity.inode);
  }
}

TEST_F(PosixSourceFileTest, RefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  FileIdentity identity;
  EXPECT_FALSE(files_.OpenSource("", &identity));
  EXPECT_FALSE(files_.OpenSource(Path("missing.xml"), &identity));
  EXPECT_FALSE(files_.OpenSource(dir_, &identity));
  EXPECT_FALSE(files_.OpenSource(Path("fifo"), &identity));  // must not block either
  EXPECT_FALSE(identity.known);
}

TEST(DefaultSourceFile, ServesWhatReadWholeFileReturns) {
  MemoryFileSystem files;
  files.SetFile("fields.xml", "<pib><f/></pib>");
  FileIdentity identity;
  auto source = files.OpenSource("fields.xml", &identity);
  ASSERT_TRUE(source);
  EXPECT_EQ(ReadAll(*source, 4), "<pib><f/></pib>");
  EXPECT_TRUE(identity.known);
  EXPECT_FALSE(files.OpenSource("missing.xml", &identity));
}

}  // namespace
}  // namespace pibgen::file
