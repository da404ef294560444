#include "engine/pib_image_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/write_checksum_and_close.h"
#include "file/memory_file_system.h"
#include "image_bytes.h"

namespace pibgen {
namespace {

// Writes the bytes as one image, stamps it and returns what the destination then holds, which
// is replaced whole, or written in place.
std::vector<uint8_t> Stamp(const std::vector<uint8_t>& fields, bool in_place = false) {
  file::MemoryFileSystem files;
  files.SetFile("image.bin", "an older and longer image");
  if (in_place) files.MarkInPlace("image.bin");
  PibImageFile image(files);
  EXPECT_TRUE(image.Open("image.bin", {}));
  image.Write(fields.data(), fields.size());
  EXPECT_TRUE(WriteChecksumAndClose(image));
  return testing::Bytes(files.File("image.bin"));
}

struct StampCase {
  std::vector<uint8_t> fields;
  std::vector<uint8_t> expected;
};

class WriteChecksumAndCloseTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(WriteChecksumAndCloseTest, StampsOffsetTwo) {
  EXPECT_EQ(Stamp(GetParam().fields), GetParam().expected);
  EXPECT_EQ(Stamp(GetParam().fields, true), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteChecksumAndCloseTest,
    ::testing::Values(
        // the worked example: the placeholder 02 gives way to 35, the top byte of CRC("abc")
        StampCase{{0x01, 0x00, 0x02, 0x61, 0x62, 0x63}, {0x01, 0x00, 0x35, 0x61, 0x62, 0x63}},
        StampCase{{}, {}},
        // one or two bytes: nothing after offset 2 to check, no checksum byte, no growth
        StampCase{{0x7E}, {0x7E}}, StampCase{{0x7E, 0x7F}, {0x7E, 0x7F}},
        // three bytes: the CRC of nothing is 0
        StampCase{{0x7E, 0x7F, 0x80}, {0x7E, 0x7F, 0x00}}));

TEST(WriteChecksumAndClose, MatchesZlibOnImagesLargerThanTheBuffer) {
  std::mt19937 random(7);
  for (size_t size : {size_t{4}, size_t{1} << 20, (size_t{1} << 20) + 4, (size_t{5} << 20) / 2}) {
    std::vector<uint8_t> fields(size);
    for (uint8_t& byte : fields) byte = static_cast<uint8_t>(random());
    for (const bool in_place : {false, true}) {
      const std::vector<uint8_t> image = Stamp(fields, in_place);
      ASSERT_EQ(image.size(), size);
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), fields.data() + 3, static_cast<uInt>(size - 3));
      std::vector<uint8_t> expected = fields;
      expected[2] = static_cast<uint8_t>(crc >> 24);
      EXPECT_EQ(image, expected) << size << (in_place ? " in place" : "");
    }
  }
}

// Long zero runs take another path to the file than bytes do, and may become holes that the
// copy to a destination written in place skips; the checksum must not notice.
TEST(WriteChecksumAndClose, CountsLongZeroRunsBetweenData) {
  for (uint64_t run : {uint64_t{100}, uint64_t{1} << 16, (uint64_t{3} << 20) + 1}) {
    for (const bool in_place : {false, true}) {
      file::MemoryFileSystem files;
      if (in_place) files.MarkInPlace("image.bin");
      PibImageFile image(files);
      ASSERT_TRUE(image.Open("image.bin", {}));
      const uint8_t head[] = {9, 8, 7, 6};
      const uint8_t tail[] = {'t', 'a', 'i', 'l'};
      image.Write(head, 4);
      image.WriteZeros(run);
      image.Write(tail, 4);
      image.WriteZeros(run);
      ASSERT_TRUE(WriteChecksumAndClose(image));
      std::vector<uint8_t> fields(4 + 2 * run + 4, 0);
      std::copy(head, head + 4, fields.begin());
      std::copy(tail, tail + 4, fields.begin() + 4 + static_cast<ptrdiff_t>(run));
      const uLong crc =
          crc32(crc32(0L, Z_NULL, 0), fields.data() + 3, static_cast<uInt>(fields.size() - 3));
      fields[2] = static_cast<uint8_t>(crc >> 24);
      EXPECT_EQ(testing::Bytes(files.File("image.bin")), fields) << "run " << run;
    }
  }
}

// Whatever was written, the destination holds its old bytes until Close, and keeps them if
// the image is dropped instead.
TEST(PibImageFile, NothingReachesTheDestinationBeforeClose) {
  for (const bool in_place : {false, true}) {
    for (const bool closed : {false, true}) {
      file::MemoryFileSystem files;
      files.SetFile("image.bin", "old contents");
      if (in_place) files.MarkInPlace("image.bin");
      {
        PibImageFile image(files);
        ASSERT_TRUE(image.Open("image.bin", {}));
        const uint8_t bytes[] = {1, 2, 3, 4};
        image.Write(bytes, 4);
        image.WriteZeros(3 << 20);
        ASSERT_TRUE(image.Flush() && image.StampChecksum());
        EXPECT_EQ(files.File("image.bin"), "old contents");
        if (closed) {
          ASSERT_TRUE(image.Close());
        }
      }
      EXPECT_EQ(files.File("image.bin").size(), closed ? 4 + (size_t{3} << 20) : 12)
          << in_place << closed;
    }
  }
}

TEST(PibImageFileOpen, RefusesPathsTheToolCannotName) {
  file::MemoryFileSystem files;  // its working directory is "/"
  const auto opens = [&files](const std::string& path) {
    PibImageFile image(files);
    return image.Open(path, {});
  };
  EXPECT_FALSE(opens(""));
  EXPECT_FALSE(opens(std::string(260, 'a')));
  // 258 characters plus the leading "/" of the absolute form make 259: still accepted
  EXPECT_TRUE(opens(std::string(258, 'a')));
  // 259 characters are fine as given, but their absolute form "/" + path reaches 260
  EXPECT_FALSE(opens(std::string(259, 'b')));
  // characters, not bytes: 200 two-byte characters are 200 characters
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";
  EXPECT_TRUE(opens(wide));
}

TEST(PibImageFileOpen, RefusesTheFileToKeep) {
  file::MemoryFileSystem files;
  files.SetFile("fields.xml", "<r/>");
  file::FileIdentity identity;
  ASSERT_TRUE(files.OpenSource("fields.xml", &identity));
  PibImageFile image(files);
  EXPECT_FALSE(image.Open("fields.xml", {&identity, 1}));
  EXPECT_EQ(files.File("fields.xml"), "<r/>");
}

}  // namespace
}  // namespace pibgen
