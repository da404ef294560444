#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "forwarding_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// Files in memory whose descriptions arrive a few bytes a read, optionally stop with a read
// error after some bytes, and optionally tell that they changed while they were read.
class TrickleFileSystem final : public testing::ForwardingFileSystem {
 public:
  TrickleFileSystem(size_t piece, size_t fail_after, bool changes = false)
      : ForwardingFileSystem(files_), piece_(piece), fail_after_(fail_after), changes_(changes) {}
  file::MemoryFileSystem& files() { return files_; }

  std::unique_ptr<file::SourceFile> OpenSource(const std::string& path,
                                               file::FileIdentity* identity) override {
    if (!files_.OpenSource(path, identity)) return nullptr;
    return std::make_unique<Trickle>(files_.File(path), piece_, fail_after_, changes_);
  }

 private:
  class Trickle final : public file::SourceFile {
   public:
    Trickle(std::string contents, size_t piece, size_t fail_after, bool changes)
        : contents_(std::move(contents)),
          piece_(piece),
          fail_after_(fail_after),
          changes_(changes) {}
    ptrdiff_t Read(char* data, size_t count) override {
      if (position_ >= fail_after_) return -1;
      const size_t take =
          std::min({count, piece_, contents_.size() - position_, fail_after_ - position_});
      contents_.copy(data, take, position_);
      position_ += take;
      return static_cast<ptrdiff_t>(take);
    }
    bool Changed() override { return changes_; }

   private:
    std::string contents_;
    size_t piece_;
    size_t fail_after_;
    bool changes_;
    size_t position_ = 0;
  };

  file::MemoryFileSystem files_;
  size_t piece_;
  size_t fail_after_;
  bool changes_;
};

const char kDescription[] =
    "<pib><f><type>System.UInt16</type><value>1</value></f>"
    "<f><type>System.Byte</type><value>2</value></f>"
    "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>";

TEST(StreamedSource, ShortReadsMakeTheSameImage) {
  TrickleFileSystem files(3, SIZE_MAX);
  files.files().SetFile("fields.xml", kDescription);
  testing::TextCapture out;
  ASSERT_TRUE(testing::ConvertAndSay("fields.xml", "image.bin", files, out));
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
    EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "image.bin", files, out));
    EXPECT_EQ(out.Text(), "load xml file fail\n") << fail_after;
    EXPECT_EQ(files.files().File("image.bin"), "keep me") << fail_after;
  }
}

// A description rewritten while it was read may have given part old, part new text: the
// conversion must not take it, however good the text it read looks.
TEST(StreamedSource, ADescriptionThatChangesWhileReadIsRefused) {
  TrickleFileSystem files(4096, SIZE_MAX, true);
  files.files().SetFile("fields.xml", kDescription);
  files.files().SetFile("image.bin", "keep me");
  testing::TextCapture out;
  EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "image.bin", files, out));
  EXPECT_EQ(out.Text(), "load xml file fail\n");
  EXPECT_EQ(files.files().File("image.bin"), "keep me");
}

// The trace is held in memory up to a megabyte and beyond that in a scratch file. Padding a
// description with long comments must change nothing but the comments' own trace lines,
// whether the trace fits in memory or not, and whether it is published or dropped because the
// image cannot be made or the description is refused at its very end.
TEST(StreamedSource, ALargeTraceMakesWhatASmallOneMakes) {
  const auto convert = [](const std::string& description, const std::string& destination) {
    file::MemoryFileSystem files;
    files.SetFile("fields.xml", description);
    files.SetFile("image.bin", "keep me");
    testing::TextCapture out;
    const bool converted = testing::ConvertAndSay("fields.xml", destination, files, out);
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
    // Comments of a megabyte each: within what memory holds, or beyond it.
    for (const int comments : {1, 3}) {
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
