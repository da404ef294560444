#include "diff/diff_images.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "file/memory_file_system.h"
#include "format/checksum.h"
#include "forwarding_file_system.h"

namespace pibgen {
namespace {

// An image whose bytes [hole_from, hole_to) are a hole, read as zeros and never stored, and
// whose reads fail from fail_from on.
struct Image {
  std::string bytes;
  uint64_t hole_from = 0;
  uint64_t hole_to = 0;
  uint64_t fail_from = UINT64_MAX;
};

class HoledReader final : public file::ImageReader {
 public:
  explicit HoledReader(const Image& image) : image_(image) {}
  bool Length(uint64_t* length) override {
    *length = image_.bytes.size();
    return true;
  }
  bool Seek(uint64_t offset) override {
    at_ = offset;
    return true;
  }
  bool Read(uint8_t* data, size_t count) override {
    if (at_ + count > image_.fail_from) return false;
    for (size_t i = 0; i < count; ++i, ++at_) {
      const bool hole = at_ >= image_.hole_from && at_ < image_.hole_to;
      data[i] = hole ? 0 : static_cast<uint8_t>(image_.bytes[at_]);
    }
    return true;
  }
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    const uint64_t length = image_.bytes.size();
    const bool before = offset < image_.hole_from || image_.hole_from == image_.hole_to;
    *begin = before || offset >= image_.hole_to ? offset : image_.hole_to;
    *end = before && image_.hole_from > offset ? image_.hole_from : length;
    return true;
  }

 private:
  const Image& image_;
  uint64_t at_ = 0;
};

// The images are the holed ones above; the layout a file in memory.
class HoledFileSystem final : public testing::ForwardingFileSystem {
 public:
  explicit HoledFileSystem(file::FileSystem& inner) : ForwardingFileSystem(inner) {}
  std::map<std::string, Image> images;
  std::unique_ptr<file::ImageReader> OpenImage(const std::string& path) override {
    const auto found = images.find(path);
    if (found == images.end()) return nullptr;
    return std::make_unique<HoledReader>(found->second);
  }
};

struct Recorder final : DiffSink {
  std::vector<std::string> lines;
  std::vector<uint64_t> differing;  // of each field
  void FieldDiffers(const FieldChange& change) override {
    lines.push_back(MessageText(change.finding));
    differing.push_back(change.differing);
  }
  void RangeDiffers(const RangeDifference& range) override {
    lines.push_back(MessageText(range.finding));
  }
};

// The checksum byte of the bytes an image reads as, holes and all.
uint8_t ChecksumOf(const Image& image) {
  std::string bytes = image.bytes;
  for (uint64_t i = image.hole_from; i < image.hole_to; ++i) bytes[i] = '\0';
  ImageChecksum sum;
  sum.Add(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return sum.Byte();
}

struct Case {
  const char* what;
  Image old_image;
  Image new_image;
  const char* layout;  // null: byte by byte
  std::vector<std::string> lines;
  std::vector<uint64_t> differing;
  bool compared;
  bool same;
};

TEST(DiffImages, FindsWhatDiffersAcrossHolesBlocksAndEnds) {
  const std::string block(size_t{1} << 20, 'b');  // what one read of the cursor takes
  const char* const long_field =
      "<pib><f name='head'><type>System.Byte[]</type><size>8</size></f>"
      "<f name='blob'><type>System.Byte[]</type><size>100</size></f></pib>";
  const char* const two_fields =
      "<pib><f><type>System.Byte[]</type><size>6</size></f>"
      "<f name='tail'><type>System.Byte[]</type><size>4</size></f></pib>";
  const Case cases[] = {
      {"a hole in one image, stored zeros in the other",
       {"abcd\1\1\1\1ijkl", 4, 8},
       {std::string("abcd\0\0\0\0ijkl", 12)},
       nullptr,
       {},
       {},
       true,
       true},
      {"a run from data into a hole is one run",
       {"abcdefghijklmnop", 4, 8},
       {"abcWXYZWijklmnop"},
       nullptr,
       {"offset 3, 5 bytes: old 64 00 00 00 00, new 57 58 59 5A 57"},
       {},
       true,
       false},
      {"a run across the end of a block is one run",
       {block + block},
       {block.substr(0, block.size() - 2) + "xxxx" + block.substr(2)},
       nullptr,
       {"offset 1048574, 4 bytes: old 62 62 62 62, new 78 78 78 78"},
       {},
       true,
       false},
      {"the bytes past the shorter image",
       {"abcdef"},
       {"abcdefgh"},
       nullptr,
       {"offset 6, 2 bytes: old missing, new 67 68"},
       {},
       true,
       false},
      {"a field past both ends, which the images reach unevenly",
       {"abcdefgh"},
       {"abcdefghi"},
       two_fields,
       {"field 2 (\"tail\") at offset 6, 4 bytes, System.Byte[]: old missing, new missing"},
       {0},
       true,
       false},
      {"a read that fails", {"abcdefgh"}, {"abcdefgh", 0, 0, 4}, nullptr, {}, {}, false, false},
      {"the checksum byte is not counted in its field",
       {std::string(108, 'a')},
       {"aaZZ" + std::string(104, 'a')},
       long_field,
       {"field 1 (\"head\") at offset 0, 8 bytes, System.Byte[]: old 6161616161616161, new "
        "61615A5A61616161",
        "checksum byte at offset 2: old 61, new 5A"},
       {1},
       true,
       false},
      {"a long field shows its bytes from the first that differs",
       {std::string(108, 'a'), 60, 70},
       {std::string(108, 'a').replace(65, 2, "zz")},
       long_field,
       {"field 2 (\"blob\") at offset 8, 100 bytes, System.Byte[]: 10 bytes differ, the first at "
        "offset 60: old 0000000000000000..., new 61616161617A7A61..."},
       {10},
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    file::MemoryFileSystem memory;
    HoledFileSystem files(memory);
    files.images["old.bin"] = c.old_image;
    files.images["new.bin"] = c.new_image;
    std::optional<std::string> layout;
    if (c.layout != nullptr) {
      memory.SetFile("layout.xml", c.layout);
      layout = "layout.xml";
    }
    Recorder recorder;
    const DiffResult result = DiffImages("old.bin", "new.bin", layout, files, recorder);
    EXPECT_EQ(result.compared, c.compared);
    EXPECT_EQ(result.same, c.same);
    if (!c.compared) {
      ASSERT_TRUE(result.trouble);
      EXPECT_EQ(result.trouble->code, Code::kCannotReadImage);
      EXPECT_EQ(result.trouble_path, "new.bin");
      continue;
    }
    std::vector<std::string> lines = recorder.lines;
    for (const Finding& finding : result.findings) {
      if (finding.code != Code::kImagesSame) lines.push_back(MessageText(finding));
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(recorder.differing, c.differing);
    EXPECT_EQ(result.old_side.computed, ChecksumOf(c.old_image));
    EXPECT_EQ(result.new_side.computed, ChecksumOf(c.new_image));
    EXPECT_EQ(result.old_side.stored, static_cast<uint8_t>(c.old_image.bytes[2]));
  }
}

}  // namespace
}  // namespace pibgen
