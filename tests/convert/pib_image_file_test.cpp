#include "convert/pib_image_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "convert/write_checksum_and_close.h"
#include "file/memory_file_system.h"
#include "image_bytes.h"

namespace pibgen {
namespace {

// Writes the bytes as one image, stamps it and returns what the file holds.
std::vector<uint8_t> Stamp(const std::vector<uint8_t>& fields) {
  file::MemoryFileSystem files;
  PibImageFile image(files);
  EXPECT_TRUE(image.Open("image.bin", {}));
  image.Write(fields.data(), fields.size());
  EXPECT_TRUE(WriteChecksumAndClose(image));
  EXPECT_FALSE(image.IsOpen());
  return testing::Bytes(files.File("image.bin"));
}

struct StampCase {
  std::vector<uint8_t> fields;
  std::vector<uint8_t> expected;
};

class WriteChecksumAndCloseTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(WriteChecksumAndCloseTest, StampsOffsetTwo) {
  EXPECT_EQ(Stamp(GetParam().fields), GetParam().expected);
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

TEST(WriteChecksumAndClose, MatchesZlibOnImagesLargerThanOneReadBlock) {
  std::mt19937 random(7);
  for (size_t size : {size_t{4}, size_t{1} << 20, (size_t{1} << 20) + 4, (size_t{5} << 20) / 2}) {
    std::vector<uint8_t> fields(size);
    for (uint8_t& byte : fields) byte = static_cast<uint8_t>(random());
    const std::vector<uint8_t> image = Stamp(fields);
    ASSERT_EQ(image.size(), size);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), fields.data() + 3, static_cast<uInt>(size - 3));
    EXPECT_EQ(image[2], static_cast<uint8_t>(crc >> 24)) << size;
    fields[2] = image[2];
    EXPECT_EQ(image, fields) << "only offset 2 may change";
  }
}

// Long zero runs take another path to the file than bytes do; the stamp must not notice.
TEST(WriteChecksumAndClose, CountsLongZeroRunsBetweenData) {
  for (uint64_t run : {uint64_t{100}, uint64_t{1} << 16, (uint64_t{3} << 20) + 1}) {
    file::MemoryFileSystem files;
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

// A device of fixed size, full of 0xFF, whose start the image overwrites. Its length is what
// fstat tells of a device (0 for a block device), never the bytes written; a character device
// cannot give its bytes back.
class FakeDevice final : public file::ImageFile {
 public:
  FakeDevice(std::vector<uint8_t>& storage, uint64_t reported_length, bool can_read_back)
      : storage_(storage), reported_length_(reported_length), can_read_back_(can_read_back) {}
  bool Write(const uint8_t* data, size_t count) override {
    if (position_ + count > storage_.size()) return false;
    std::copy(data, data + count, storage_.begin() + static_cast<ptrdiff_t>(position_));
    position_ += count;
    return true;
  }
  bool Read(uint8_t* data, size_t count) override {
    if (!can_read_back_ || position_ + count > storage_.size()) return false;
    std::copy_n(storage_.begin() + static_cast<ptrdiff_t>(position_), count, data);
    position_ += count;
    return true;
  }
  bool Seek(uint64_t offset) override { return (position_ = offset) <= storage_.size(); }
  bool Length(uint64_t* length) override { return (*length = reported_length_), true; }
  bool CanReadBack() const override { return can_read_back_; }
  bool Flush() override { return true; }
  bool Close() override { return true; }
  void Discard() override {}

 private:
  std::vector<uint8_t>& storage_;
  uint64_t reported_length_;
  bool can_read_back_;
  uint64_t position_ = 0;
};

class FakeDeviceFileSystem final : public file::FileSystem {
 public:
  FakeDeviceFileSystem(uint64_t reported_length, bool can_read_back)
      : reported_length_(reported_length), can_read_back_(can_read_back) {}
  std::vector<uint8_t> storage = std::vector<uint8_t>(size_t{3} << 20, 0xFF);

  bool ReadWholeFile(const std::string&, std::string*, file::FileIdentity*) override {
    return false;
  }
  std::unique_ptr<file::ImageFile> CreateImage(const std::string&,
                                               std::span<const file::FileIdentity>) override {
    return std::make_unique<FakeDevice>(storage, reported_length_, can_read_back_);
  }
  std::string CurrentDirectory() override { return "/"; }

 private:
  uint64_t reported_length_;
  bool can_read_back_;
};

// The checksum covers exactly the bytes written, whatever the device reports or holds beyond.
TEST(WriteChecksumAndClose, StampsOnlyTheWrittenBytesOfADevice) {
  struct DeviceCase {
    uint64_t reported_length;
    bool can_read_back;
  };
  for (const DeviceCase c :
       {DeviceCase{0, true}, DeviceCase{size_t{3} << 20, true}, DeviceCase{0, false}}) {
    SCOPED_TRACE(std::to_string(c.reported_length) + (c.can_read_back ? " readable" : ""));
    FakeDeviceFileSystem device(c.reported_length, c.can_read_back);
    PibImageFile image(device);
    ASSERT_TRUE(image.Open("/dev/device", {}));
    std::vector<uint8_t> fields(1000 + (size_t{1} << 20), 0);  // holds a long zero run
    for (size_t i = 0; i < 1000; ++i) fields[i] = static_cast<uint8_t>(i * 13 + 1);
    image.Write(fields.data(), 1000);
    image.WriteZeros(fields.size() - 1000);
    ASSERT_TRUE(WriteChecksumAndClose(image));
    if (c.can_read_back) {
      const uLong crc =
          crc32(crc32(0L, Z_NULL, 0), fields.data() + 3, static_cast<uInt>(fields.size() - 3));
      fields[2] = static_cast<uint8_t>(crc >> 24);
    }
    fields.resize(device.storage.size(), 0xFF);
    EXPECT_TRUE(device.storage == fields);
  }
}

TEST(PibImageFileOpen, RefusesPathsTheToolCannotName) {
  file::MemoryFileSystem files;  // its working directory is "/"
  PibImageFile image(files);
  EXPECT_FALSE(image.Open("", {}));
  EXPECT_FALSE(image.Open(std::string(260, 'a'), {}));
  // 258 characters plus the leading "/" of the absolute form make 259: still accepted
  EXPECT_TRUE(image.Open(std::string(258, 'a'), {}));
  image.Discard();
  // 259 characters are fine as given, but their absolute form "/" + path reaches 260
  EXPECT_FALSE(image.Open(std::string(259, 'b'), {}));
  // characters, not bytes: 200 two-byte characters are 200 characters
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";
  EXPECT_TRUE(image.Open(wide, {}));
  image.Discard();
}

TEST(PibImageFileOpen, RefusesTheFileToKeep) {
  file::MemoryFileSystem files;
  files.SetFile("fields.xml", "<r/>");
  std::string contents;
  file::FileIdentity identity;
  ASSERT_TRUE(files.ReadWholeFile("fields.xml", &contents, &identity));
  PibImageFile image(files);
  EXPECT_FALSE(image.Open("fields.xml", {&identity, 1}));
  EXPECT_EQ(files.File("fields.xml"), "<r/>");
}

TEST(PibImageFile, DiscardEmptiesWhatWasWritten) {
  file::MemoryFileSystem files;
  files.SetFile("image.bin", "old contents");
  PibImageFile image(files);
  ASSERT_TRUE(image.Open("image.bin", {}));
  image.WriteZeros(3 << 20);
  image.Discard();
  EXPECT_EQ(files.File("image.bin"), "");
}

}  // namespace
}  // namespace pibgen
