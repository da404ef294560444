// Runs conversions with the C++ allocator failing on purpose: at each allocation in turn, and
// for any single request above a cap. A run that cannot get memory must end with one message
// and the old image, never a crash. Global operator new is replaced here, so these tests
// live in a binary of their own. Allocations made inside the shared C++ library (most of
// std::string's) do not reach the replacement; the last test covers memory running out while
// the image is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "file/native_file_system.h"
#include "format/text_sink.h"
#include "forwarding_file_system.h"
#include "scratch_directory.h"

namespace {

uint64_t allocations = 0;
uint64_t fail_at = 0;  // 0: no allocation fails by its number
size_t largest_allowed = SIZE_MAX;

}  // namespace

void* operator new(size_t size) {
  ++allocations;
  if (allocations == fail_at || size > largest_allowed) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace pibgen {
namespace {

// Keeps what is printed in a fixed buffer: the sink itself must not need the allocator.
class FixedSink final : public TextSink {
 public:
  void Print(std::string_view text) override {
    const size_t take = std::min(text.size(), sizeof buffer_ - length_);
    std::memcpy(buffer_ + length_, text.data(), take);
    length_ += take;
  }
  std::string Text() const { return std::string(buffer_, length_); }
  void Clear() { length_ = 0; }

 private:
  char buffer_[1 << 16];
  size_t length_ = 0;
};

class AllocationFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Made()); }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  void Put(const std::string& name, const std::string& contents) const {
    testing::ScratchDirectory::Put(Path(name), contents);
  }
  std::string Get(const std::string& name) const {
    return testing::ScratchDirectory::Get(Path(name));
  }

  testing::ScratchDirectory scratch_{"allocation-test"};

  // Converts with the allocator armed; everything else in the test runs unarmed.
  bool Convert(uint64_t fail_allocation, size_t cap) {
    const std::string source = Path("fields.xml");
    const std::string destination = Path("image.bin");
    out_.Clear();
    allocations = 0;
    fail_at = fail_allocation;
    largest_allowed = cap;
    const bool converted = testing::ConvertAndSay(source, destination, files_, out_);
    fail_at = 0;
    largest_allowed = SIZE_MAX;
    return converted;
  }

  file::NativeFileSystem files_;
  FixedSink out_;
};

TEST_F(AllocationFailureTest, EachAllocationFailingInTurnGivesOneMessageAndNoImage) {
  const std::string description =
      "<?xml version='1.0'?>\n<!DOCTYPE pib [<!ENTITY v '616263'>]>\n"
      "<pib>\n<f n='1'><type>System.UInt16</type><value>1</value></f>\n"
      "<f><type>System.Byte</type><value>2</value><!-- note --></f>\n"
      "<f><type>System.Byte[]</type><size>3</size><value>&v;</value></f>\n"
      "<f><size>100000</size></f></pib>\n";
  Put("fields.xml", description);
  ASSERT_TRUE(Convert(0, SIZE_MAX));
  const std::string full_output = out_.Text();
  const std::string full_image = Get("image.bin");
  const uint64_t needed = allocations;
  ASSERT_GT(needed, 10u);

  for (uint64_t n = 1; n <= needed; ++n) {
    SCOPED_TRACE("failing allocation " + std::to_string(n));
    Put("image.bin", "keep me");
    if (Convert(n, SIZE_MAX)) {
      // An allocation whose failure the code may absorb; the result must be the full one.
      EXPECT_EQ(out_.Text(), full_output);
      EXPECT_TRUE(Get("image.bin") == full_image);
      continue;
    }
    const std::string text = out_.Text();
    ASSERT_FALSE(text.empty());
    const size_t line_start = text.rfind('\n', text.size() - 2);
    const std::string message = text.substr(line_start == std::string::npos ? 0 : line_start + 1);
    EXPECT_EQ(full_output.substr(0, text.size() - message.size()),
              text.substr(0, text.size() - message.size()));
    EXPECT_TRUE(message == "load xml file fail\n" || message == "create pib file fail\n" ||
                message == "write pib file fail\n")
        << message;
    EXPECT_EQ(Get("image.bin"), "keep me")
        << "a failed conversion must leave the old image: " << text;
    EXPECT_EQ(scratch_.Names(), "fields.xml image.bin") << "a failed conversion left files";
    EXPECT_EQ(Get("fields.xml"), description);
  }
}

// The largest sizes a description can give must not turn into allocations of that size.
TEST_F(AllocationFailureTest, HugeSizesNeedNoMemoryOfTheirSize) {
  Put("fields.xml",
      "<pib><f><type>System.Byte[]</type><size>2147483647</size><value>0a1B</value></f>"
      "<f><type>filler</type><size>2147483647</size></f></pib>");
  ASSERT_TRUE(Convert(0, size_t{64} << 20)) << out_.Text();
  EXPECT_EQ(std::filesystem::file_size(Path("image.bin")), uint64_t{2} * 2147483647u);
  std::ifstream in(Path("image.bin"), std::ios::binary);
  char head[4] = {};
  in.read(head, 4);
  EXPECT_EQ(static_cast<uint8_t>(head[0]), 0x0A);
  EXPECT_EQ(static_cast<uint8_t>(head[1]), 0x1B);
  EXPECT_EQ(head[3], 0);
}

TEST_F(AllocationFailureTest, ADescriptionTooBigForMemoryIsALoadFailure) {
  // A field's text is held whole while it is read: a megabyte of it outgrows the cap.
  Put("fields.xml", "<pib><f><value>" + std::string(1 << 20, '0') + "</value></f></pib>");
  Put("image.bin", "keep me");
  EXPECT_FALSE(Convert(0, size_t{1} << 19));
  EXPECT_EQ(out_.Text(), "load xml file fail\n");
  EXPECT_EQ(Get("image.bin"), "keep me");
}

// Memory that runs out while the image is being written, wherever it is asked for: here the file
// layer's writes throw, as an allocating layer would.
class ThrowingWrites final : public testing::ForwardingFileSystem {
 public:
  explicit ThrowingWrites(file::FileSystem& inner) : ForwardingFileSystem(inner) {}
  std::unique_ptr<file::Destination> OpenDestination(
      const std::string& path, std::span<const file::FileIdentity> keep) override {
    class Throwing final : public file::Destination {
     public:
      explicit Throwing(std::unique_ptr<file::Destination> inner) : inner_(std::move(inner)) {}
      file::ImageFile* Replacement() override { return &image_; }
      bool Replace() override { return inner_->Replace(); }
      std::unique_ptr<file::ImageFile> OpenInPlace() override { return inner_->OpenInPlace(); }

     private:
      class Image final : public file::ImageFile {
       public:
        explicit Image(file::ImageFile& inner) : inner_(inner) {}
        bool Write(const uint8_t* data, size_t count) override {
          (void)inner_.Write(data, count / 2);
          throw std::bad_alloc();
        }
        bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
          return inner_.WriteAt(offset, data, count);
        }
        bool Length(uint64_t* length) override { return inner_.Length(length); }
        bool Seek(uint64_t offset) override { return inner_.Seek(offset); }
        bool Read(uint8_t* data, size_t count) override { return inner_.Read(data, count); }
        bool Close() override { return inner_.Close(); }

       private:
        file::ImageFile& inner_;
      };
      std::unique_ptr<file::Destination> inner_;
      Image image_{*inner_->Replacement()};
    };
    auto inner = inner_.OpenDestination(path, keep);
    if (!inner || inner->Replacement() == nullptr) return nullptr;
    return std::make_unique<Throwing>(std::move(inner));
  }
};

TEST(AllocationFailureWhileWriting, LeavesTheOldImageAndSaysSo) {
  file::MemoryFileSystem memory;
  memory.SetFile(
      "fields.xml",
      "<pib><f><type>System.UInt32</type><value>7</value></f><f><size>3</size></f></pib>");
  memory.SetFile("image.bin", "keep me");
  ThrowingWrites files(memory);
  FixedSink out;
  EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "image.bin", files, out));
  EXPECT_EQ(out.Text(), "type--System.UInt32\nvalue--7\nsize--3\nwrite pib file fail\n");
  EXPECT_EQ(memory.File("image.bin"), "keep me");
}

}  // namespace
}  // namespace pibgen
