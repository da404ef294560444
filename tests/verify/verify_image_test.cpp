#include "verify/verify_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "cli/run_modes.h"
#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "forwarding_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// Files in memory whose images cannot be read at or past a given offset.
class FailingReads final : public testing::ForwardingFileSystem {
 public:
  explicit FailingReads(size_t fail_after = SIZE_MAX)
      : ForwardingFileSystem(files_), fail_after_(fail_after) {}
  file::MemoryFileSystem& files() { return files_; }

  std::unique_ptr<file::ImageReader> OpenImage(const std::string& path) override {
    auto inner = files_.OpenImage(path);
    if (!inner) return nullptr;
    return std::make_unique<Reader>(std::move(inner), fail_after_);
  }

 private:
  class Reader final : public file::ImageReader {
   public:
    Reader(std::unique_ptr<file::ImageReader> inner, size_t fail_after)
        : inner_(std::move(inner)), fail_after_(fail_after) {}
    bool Length(uint64_t* length) override { return inner_->Length(length); }
    bool Seek(uint64_t offset) override {
      position_ = offset;
      return inner_->Seek(offset);
    }
    bool Read(uint8_t* data, size_t count) override {
      if (position_ + count > fail_after_) return false;
      position_ += count;
      return inner_->Read(data, count);
    }

   private:
    std::unique_ptr<file::ImageReader> inner_;
    size_t fail_after_;
    uint64_t position_ = 0;
  };

  file::MemoryFileSystem files_;
  size_t fail_after_;
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
      {"one byte", "\x7F", true, "image.bin: no checksum to verify (1 byte, fewer than 3)\n"},
      {"two bytes", "ab", true, "image.bin: no checksum to verify (2 bytes, fewer than 3)\n"},
  };
  for (const VerifyCase& c : cases) {
    file::MemoryFileSystem files;
    files.SetFile("image.bin", c.image);
    testing::TextCapture out;
    EXPECT_EQ((RunVerify("image.bin", std::nullopt, OutputFormat::kText, files, out) == 0),
              c.passes)
        << c.name;
    EXPECT_EQ(out.Text(), c.message) << c.name;
  }
}

TEST(VerifyImage, ImagesOfSeveralReadBlocks) {
  std::mt19937 random(6);
  std::string image(3 * (size_t{1} << 20) + 17, '\0');
  for (char& byte : image) byte = static_cast<char>(random());
  image[2] = static_cast<char>(ExpectedChecksum(image));
  file::MemoryFileSystem files;
  files.SetFile("big.bin", image);
  testing::TextCapture out;
  EXPECT_TRUE((RunVerify("big.bin", std::nullopt, OutputFormat::kText, files, out) == 0));
  EXPECT_EQ(out.Text(), "big.bin: checksum ok (" + Hex(static_cast<uint8_t>(image[2])) + ")\n");
}

TEST(VerifyImage, UnreadableImagesFail) {
  FailingReads missing;
  testing::TextCapture out;
  EXPECT_FALSE((RunVerify("missing.bin", std::nullopt, OutputFormat::kText, missing, out) == 0));
  EXPECT_EQ(out.Text(), "missing.bin: cannot read the image\n");

  // A read that fails part-way must not end in a verdict on the bytes read so far.
  for (size_t fail_after : {size_t{0}, size_t{2}, size_t{3}, size_t{8}}) {
    FailingReads failing(fail_after);
    failing.files().SetFile("image.bin", std::string("\x01\x00\x35"
                                                     "abcdefgh",
                                                     11));
    testing::TextCapture failed;
    EXPECT_FALSE((RunVerify("image.bin", std::nullopt, OutputFormat::kText, failing, failed) == 0))
        << fail_after;
    EXPECT_EQ(failed.Text(), "image.bin: cannot read the image\n") << fail_after;
  }
}

TEST(VerifyImage, AcceptsWhatTheConverterWrites) {
  file::MemoryFileSystem files;
  files.SetFile("fields.xml",
                "<pib><f><type>System.UInt32</type><value>123456</value></f>"
                "<f><type>System.Byte[]</type><size>300</size><value>00112233</value></f></pib>");
  testing::TextCapture trace;
  ASSERT_TRUE(testing::ConvertAndSay("fields.xml", "image.bin", files, trace));
  testing::TextCapture out;
  EXPECT_TRUE((RunVerify("image.bin", std::nullopt, OutputFormat::kText, files, out) == 0));
  EXPECT_EQ(out.Text(),
            "image.bin: checksum ok (" + Hex(ExpectedChecksum(files.File("image.bin"))) + ")\n");
}

}  // namespace
}  // namespace pibgen
