#include "verify/verify_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <random>

#include "convert/read_xml_to_pib_file.h"
#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// Serves files a few bytes per read, so block boundaries fall everywhere, and can fail a read
// after a given number of bytes.
class TrickleFileSystem final : public file::FileSystem {
 public:
  TrickleFileSystem(size_t step, size_t fail_after = SIZE_MAX)
      : step_(step), fail_after_(fail_after) {}
  void SetFile(const std::string& path, std::string contents) { files_[path] = contents; }

  bool ReadWholeFile(const std::string&, std::string*, file::FileIdentity*) override {
    ADD_FAILURE() << "the image must be read in blocks";
    return false;
  }
  std::unique_ptr<file::ImageFile> CreateImage(const std::string&,
                                               std::span<const file::FileIdentity>) override {
    return nullptr;
  }
  std::string CurrentDirectory() override { return "/"; }
  std::unique_ptr<file::SourceFile> OpenSource(const std::string& path,
                                               file::FileIdentity*) override {
    auto found = files_.find(path);
    if (found == files_.end()) return nullptr;
    return std::make_unique<Input>(found->second, step_, fail_after_);
  }

 private:
  class Input final : public file::SourceFile {
   public:
    Input(std::string data, size_t step, size_t fail_after)
        : data_(std::move(data)), step_(step), fail_after_(fail_after) {}
    ptrdiff_t Read(char* out, size_t count) override {
      if (position_ >= fail_after_) return -1;
      const size_t got = std::min({count, step_, data_.size() - position_});
      std::copy_n(data_.data() + position_, got, out);
      position_ += got;
      return static_cast<ptrdiff_t>(got);
    }

   private:
    std::string data_;
    size_t step_;
    size_t fail_after_;
    size_t position_ = 0;
  };

  size_t step_;
  size_t fail_after_;
  std::map<std::string, std::string> files_;
};

std::string Hex(uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

// The checksum byte an image of these bytes should carry, from zlib.
uint8_t ExpectedChecksum(const std::string& image) {
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(image.data()) + 3,
                          static_cast<uInt>(image.size() - 3));
  return static_cast<uint8_t>(crc >> 24);
}

struct VerifyCase {
  const char* name;
  std::string image;
  bool passes;
  std::string message;
};

TEST(VerifyImage, ReportsOkMismatchAndShortImages) {
  const std::string good(
      "\x01\x00\x35"
      "abc",
      6);
  std::string byte2_flipped = good;
  byte2_flipped[2] = static_cast<char>(~0x35);
  std::string later_flipped = good;
  later_flipped[5] = 'b';
  const std::string later_checksum = Hex(ExpectedChecksum(later_flipped));
  const VerifyCase cases[] = {
      {"good", good, true, "image.bin: checksum ok (35)\n"},
      {"byte 2 flipped", byte2_flipped, false,
       "image.bin: checksum mismatch: stored CA, computed 35\n"},
      {"later byte flipped", later_flipped, false,
       "image.bin: checksum mismatch: stored 35, computed " + later_checksum + "\n"},
      {"three zero bytes", std::string(3, '\0'), true, "image.bin: checksum ok (00)\n"},
      {"three bytes, wrong", std::string("\0\0\x01", 3), false,
       "image.bin: checksum mismatch: stored 01, computed 00\n"},
      {"empty", "", true, "image.bin: no checksum to verify (0 bytes, fewer than 3)\n"},
      {"one byte", "\x7F", true, "image.bin: no checksum to verify (1 bytes, fewer than 3)\n"},
      {"two bytes", "ab", true, "image.bin: no checksum to verify (2 bytes, fewer than 3)\n"},
  };
  for (const VerifyCase& c : cases) {
    for (size_t step : {size_t{1}, size_t{2}, size_t{4}, size_t{1} << 20}) {
      TrickleFileSystem files(step);
      files.SetFile("image.bin", c.image);
      testing::TextCapture out;
      EXPECT_EQ(VerifyImage("image.bin", files, out), c.passes) << c.name << ", step " << step;
      EXPECT_EQ(out.Text(), c.message) << c.name << ", step " << step;
    }
  }
}

TEST(VerifyImage, LargeImagesInAnyBlockSize) {
  std::mt19937 random(6);
  std::string image(3 * (size_t{1} << 20) + 17, '\0');
  for (char& byte : image) byte = static_cast<char>(random());
  image[2] = static_cast<char>(ExpectedChecksum(image));
  for (size_t step : {size_t{3}, size_t{65536} + 1, size_t{1} << 22}) {
    TrickleFileSystem files(step);
    files.SetFile("big.bin", image);
    testing::TextCapture out;
    EXPECT_TRUE(VerifyImage("big.bin", files, out)) << step;
    EXPECT_EQ(out.Text(), "big.bin: checksum ok (" + Hex(static_cast<uint8_t>(image[2])) + ")\n");
  }
}

TEST(VerifyImage, UnreadableImagesFail) {
  TrickleFileSystem missing(16);
  testing::TextCapture out;
  EXPECT_FALSE(VerifyImage("missing.bin", missing, out));
  EXPECT_EQ(out.Text(), "missing.bin: cannot read the image\n");

  // A read that fails part-way must not end in a verdict on the bytes read so far.
  for (size_t fail_after : {size_t{0}, size_t{2}, size_t{3}, size_t{8}}) {
    TrickleFileSystem failing(2, fail_after);
    failing.SetFile("image.bin", std::string("\x01\x00\x35"
                                             "abcdefgh",
                                             11));
    testing::TextCapture failed;
    EXPECT_FALSE(VerifyImage("image.bin", failing, failed)) << fail_after;
    EXPECT_EQ(failed.Text(), "image.bin: cannot read the image\n") << fail_after;
  }
}

TEST(VerifyImage, AcceptsWhatTheConverterWrites) {
  file::MemoryFileSystem files;
  files.SetFile("fields.xml",
                "<pib><f><type>System.UInt32</type><value>123456</value></f>"
                "<f><type>System.Byte[]</type><size>300</size><value>00112233</value></f></pib>");
  testing::TextCapture trace;
  ASSERT_TRUE(ReadXMLToPIBFile("fields.xml", "image.bin", files, trace));
  testing::TextCapture out;
  EXPECT_TRUE(VerifyImage("image.bin", files, out));
  EXPECT_EQ(out.Text(),
            "image.bin: checksum ok (" + Hex(ExpectedChecksum(files.File("image.bin"))) + ")\n");
}

}  // namespace
}  // namespace pibgen
