#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "convert/read_xml_to_pib_file.h"
#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// Files in memory whose descriptions arrive a few bytes a read, and optionally stop with a
// read error after some bytes.
class TrickleFileSystem final : public file::FileSystem {
 public:
  TrickleFileSystem(size_t piece, size_t fail_after) : piece_(piece), fail_after_(fail_after) {}
  file::MemoryFileSystem& files() { return files_; }

  bool ReadWholeFile(const std::string& path, std::string* contents,
                     file::FileIdentity* identity) override {
    return files_.ReadWholeFile(path, contents, identity);
  }
  std::unique_ptr<file::SourceFile> OpenSource(const std::string& path,
                                               file::FileIdentity* identity) override {
    std::string contents;
    if (!files_.ReadWholeFile(path, &contents, identity)) return nullptr;
    return std::make_unique<Trickle>(std::move(contents), piece_, fail_after_);
  }
  std::unique_ptr<file::ImageFile> CreateImage(const std::string& path,
                                               std::span<const file::FileIdentity> keep) override {
    return files_.CreateImage(path, keep);
  }
  std::string CurrentDirectory() override { return "/"; }

 private:
  class Trickle final : public file::SourceFile {
   public:
    Trickle(std::string contents, size_t piece, size_t fail_after)
        : contents_(std::move(contents)), piece_(piece), fail_after_(fail_after) {}
    ptrdiff_t Read(char* data, size_t count) override {
      if (position_ >= fail_after_) return -1;
      const size_t take =
          std::min({count, piece_, contents_.size() - position_, fail_after_ - position_});
      contents_.copy(data, take, position_);
      position_ += take;
      return static_cast<ptrdiff_t>(take);
    }

   private:
    std::string contents_;
    size_t piece_;
    size_t fail_after_;
    size_t position_ = 0;
  };

  file::MemoryFileSystem files_;
  size_t piece_;
  size_t fail_after_;
};

const char kDescription[] =
    "<pib><f><type>System.UInt16</type><value>1</value></f>"
    "<f><type>System.Byte</type><value>2</value></f>"
    "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>";

TEST(StreamedSource, ShortReadsMakeTheSameImage) {
  TrickleFileSystem files(3, SIZE_MAX);
  files.files().SetFile("fields.xml", kDescription);
  testing::TextCapture out;
  ASSERT_TRUE(ReadXMLToPIBFile("fields.xml", "image.bin", files, out));
  EXPECT_EQ(files.files().File("image.bin"), std::string("\x01\x00\x35"
                                                         "abc",
                                                         6));
}

TEST(StreamedSource, AReadErrorLeavesTheDestinationAlone) {
  for (size_t fail_after : {size_t{0}, size_t{40}, sizeof kDescription - 1}) {
    TrickleFileSystem files(4096, fail_after);
    files.files().SetFile("fields.xml", kDescription);
    files.files().SetFile("image.bin", "keep me");
    testing::TextCapture out;
    EXPECT_FALSE(ReadXMLToPIBFile("fields.xml", "image.bin", files, out));
    EXPECT_EQ(out.Text(), "load xml file fail\n") << fail_after;
    EXPECT_EQ(files.files().File("image.bin"), "keep me") << fail_after;
  }
}

// Serves the first description to the opens before change_at and the second to every later
// one: as a new version of the file (its identity changes), or unnoticed (the same identity).
class ChangingFileSystem final : public file::FileSystem {
 public:
  ChangingFileSystem(std::string first, std::string second, bool same_identity, int change_at)
      : second_(std::move(second)), same_identity_(same_identity), change_at_(change_at) {
    files_.SetFile("fields.xml", std::move(first));
    files_.SetFile("image.bin", "keep me");
  }
  file::MemoryFileSystem& files() { return files_; }

  bool ReadWholeFile(const std::string& path, std::string* contents,
                     file::FileIdentity* identity) override {
    if (++opens_ < change_at_) return files_.ReadWholeFile(path, contents, identity);
    file::FileIdentity first;
    if (same_identity_) (void)files_.ReadWholeFile(path, contents, &first);
    files_.SetFile(path, second_);
    const bool found = files_.ReadWholeFile(path, contents, identity);
    if (same_identity_) *identity = first;
    return found;
  }
  std::unique_ptr<file::ImageFile> CreateImage(const std::string& path,
                                               std::span<const file::FileIdentity> keep) override {
    return files_.CreateImage(path, keep);
  }
  std::string CurrentDirectory() override { return "/"; }

 private:
  file::MemoryFileSystem files_;
  std::string second_;
  bool same_identity_;
  int change_at_;
  int opens_ = 0;
};

TEST(StreamedSource, AFileThatChangesBetweenTheReadsIsRefused) {
  const std::string original = kDescription;
  const size_t value = original.find("<value>1<") + 7;
  // Built by appending: GCC 12 misreads std::string::replace here as an overlapping copy.
  const auto with_value = [&original, value](const char* digits) {
    std::string text = original.substr(0, value);
    text.append(digits);
    text.append(original, value + 1);
    return text;
  };
  struct Case {
    std::string second;
    bool same_identity;
    const char* left;   // the destination afterwards
    int change_at = 2;  // the open that first meets the second version
  };
  for (const Case& c : {
           // Noticed by its size or times before the destination is touched.
           Case{with_value("7"), false, "keep me"},
           // Unnoticed until the second read meets what the first did not.
           Case{with_value("10"), true, ""},  // more bytes
           Case{"<pib><f><type>System.UInt16</type><value>1</value></f></pib>", true, ""},
           Case{"<pib><f/>text<f/><f/></pib>", true, ""},
           Case{"<pib><f/><f><type>pad</type><size>-1</size></f><f/></pib>", true, ""},
           Case{"<pib><f/><f/><f>", true, ""},
           // Rewritten while the second pass read it, with as many bytes and fields.
           Case{with_value("7"), false, "", 3},
       }) {
    ChangingFileSystem files(kDescription, c.second, c.same_identity, c.change_at);
    testing::TextCapture out;
    EXPECT_FALSE(ReadXMLToPIBFile("fields.xml", "image.bin", files, out)) << c.second;
    const std::string& text = out.Text();
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "load xml file fail\n")
        << c.second;
    EXPECT_EQ(files.files().File("image.bin"), c.left) << c.second;
  }
}

// A description of 8 MB or more is checked on a second thread while the conversion runs
// and holds its output. Padding a description with a long comment must change nothing but the
// comment's own trace line, whether the output is released at the end, part way when it grows
// past what may be held, or never because the first pass refuses the description.
TEST(StreamedSource, ALargeDescriptionMakesWhatASmallOneMakes) {
  const auto convert = [](const std::string& description, const std::string& destination) {
    file::MemoryFileSystem files;
    files.SetFile("fields.xml", description);
    files.SetFile("image.bin", "keep me");
    testing::TextCapture out;
    const bool converted = ReadXMLToPIBFile("fields.xml", destination, files, out);
    return std::make_tuple(converted, out.Text(), files.File("image.bin"));
  };
  const std::string fields = "<f><type>System.UInt16</type><value>1</value></f>";
  for (const auto& [last_open, to] : {
           std::pair{std::string("<f><type>System.Byte[]</type><size>3</size>"), "image.bin"},
           {"<f><type>System.Byte[]</type><size>3</size>", ""},
           {"<f><type>pad</type><size>-1</size>", "image.bin"},
           {"<f><type>System.Byte</type><value>&undefined;</value>", "image.bin"},
       }) {
    // Named copies: lambdas may not capture structured bindings in every compiler.
    const std::string last_field = last_open;
    const std::string destination = to;
    // Comments of a megabyte each: fewer, or more than may be held.
    for (const int comments : {9, 21}) {
      const auto description = [&](const std::string& comment) {
        std::string text = "<pib>";
        for (int i = 0; i < 20; ++i) text += fields;
        text.append(last_field);
        for (int i = 0; i < comments; ++i) text.append("<!--").append(comment).append("-->");
        return text.append("<value>616263</value></f></pib>");
      };
      const std::string comment(size_t{1} << 20, 'x');
      const auto [small_converted, small_out, small_image] = convert(description("x"), destination);
      const auto [converted, out, image] = convert(description(comment), destination);
      // The long comments' trace lines, cut back to the short one's.
      std::string cut;
      size_t done = 0;
      for (size_t line; (line = out.find("#comment--" + comment, done)) != std::string::npos;) {
        cut.append(out, done, line + 11 - done);
        done = line + 10 + comment.size();
      }
      cut.append(out, done);
      EXPECT_EQ(converted, small_converted) << last_field << comments;
      EXPECT_EQ(cut, small_out) << last_field << comments;
      EXPECT_EQ(image, small_image) << last_field << comments;
    }
  }
}

}  // namespace
}  // namespace pibgen
