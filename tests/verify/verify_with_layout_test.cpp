#include "verify/verify_with_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_modes.h"
#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "text_capture.h"
#include "troubled_file_system.h"

namespace pibgen {
namespace {

constexpr char kLayout[] =
    "<pib><f><type>System.UInt16</type><value>1</value></f>"
    "<f name='check'><type>System.Byte</type></f>"
    "<f name='serial'><type>System.UInt32</type><value>1</value></f>"
    "<f name='blob'><type>System.Byte[]</type><size>12</size><value>0102</value></f>"
    "<f><size>3</size></f></pib>";

struct Change {
  size_t offset;
  char byte;
};

struct Case {
  std::vector<Change> changes;
  std::string image_tail;  // appended after the changes; "-" cuts the last byte instead
  std::string output;
};

TEST(VerifyWithLayout, ReportsEachDifferingFieldTheLengthAndTheChecksum) {
  file::MemoryFileSystem files;
  files.SetFile("layout.xml", kLayout);
  testing::TextCapture trace;
  ASSERT_TRUE(testing::ConvertAndSay("layout.xml", "good.bin", files, trace));
  const std::string good = files.File("good.bin");
  ASSERT_EQ(good.size(), 22u);
  // The checksum byte, in hex, stands for CS in the expected lines.
  const std::string checksum = {"0123456789ABCDEF"[(good[2] >> 4) & 0x0F],
                                "0123456789ABCDEF"[good[2] & 0x0F]};
  const Case cases[] = {
      {{}, "", "image.bin: matches layout.xml (5 fields, 22 bytes, checksum CS)\n"},
      {{{3, '\x78'}, {4, '\x56'}, {5, '\x34'}, {6, '\x12'}},
       "",
       "image.bin: field 3 (\"serial\") at offset 3, 4 bytes: image 78 56 34 12 (305419896), "
       "description 01 00 00 00 (1)\n"},
      {{{3, '\x02'}, {9, '\x07'}, {19, '\x01'}},
       "",
       "image.bin: field 3 (\"serial\") at offset 3, 4 bytes: image 02 00 00 00 (2), description "
       "01 00 00 00 (1)\n"
       "image.bin: field 4 (\"blob\") at offset 7, 12 bytes: 1 byte differs, the first at offset "
       "9: image 07 00 00 00 00 00 00 00 ..., description 00 00 00 00 00 00 00 00 ...\n"
       "image.bin: field 5 at offset 19, 3 bytes: image 01 00 00, description 00 00 00\n"},
      {{{2, '\x00'}}, "", "image.bin: checksum byte: image 00, description CS\n"},
      {{}, "-", "image.bin: 21 bytes, the layout gives 22\n"},
      {{{0, '\x09'}},
       "\x01",
       "image.bin: field 1 at offset 0, 2 bytes: image 09 00 (9), description 01 00 (1)\n"
       "image.bin: 23 bytes, the layout gives 22\n"},
  };
  for (const Case& c : cases) {
    std::string image = good;
    for (const Change& change : c.changes) image[change.offset] = change.byte;
    if (c.image_tail == "-") {
      image.pop_back();
    } else {
      image += c.image_tail;
    }
    files.SetFile("image.bin", image);
    testing::TextCapture out;
    EXPECT_EQ((RunVerify("image.bin", "layout.xml", OutputFormat::kText, files, out) == 0),
              image == good)
        << c.output;
    std::string expected = c.output;
    if (const size_t at = expected.find("CS"); at != std::string::npos) {
      expected.replace(at, 2, checksum);
    }
    EXPECT_EQ(out.Text(), expected);
  }
}

TEST(VerifyWithLayout, ShortImagesHaveNoChecksumAndRefusalsComeFirst) {
  file::MemoryFileSystem files;
  files.SetFile("two.xml", "<pib><f><type>System.UInt16</type><value>513</value></f></pib>");
  files.SetFile("refused.xml", "<pib><f/>text</pib>");
  files.SetFile("image.bin", "\x01\x02");
  testing::TextCapture out;
  EXPECT_TRUE((RunVerify("image.bin", "two.xml", OutputFormat::kText, files, out) == 0));
  EXPECT_FALSE((RunVerify("image.bin", "refused.xml", OutputFormat::kText, files, out) == 0));
  EXPECT_EQ(out.Text(),
            "image.bin: matches two.xml (1 field, 2 bytes, no checksum)\n"
            "refused.xml:1: error: field 2 is text, not an element; the conversion refuses the "
            "description\n");
}

// A field over the checksum byte shows the description's checksum there, known only at the
// end, yet the fields come in layout order; a changed layout prints none of them, and fields
// that cannot be held fail the run.
TEST(VerifyWithLayout, ListsFieldsInOrderOnlyForALayoutReadWhole) {
  std::string layout = "<pib><f name='head'><type>System.UInt32</type><value>1</value></f>";
  for (int i = 0; i < 2000; ++i) layout += "<f><type>System.UInt16</type><value>2</value></f>";
  layout += "</pib>";
  file::MemoryFileSystem files;
  files.SetFile("layout.xml", layout);
  testing::TextCapture trace;
  ASSERT_TRUE(ReadXMLToPIBFile("layout.xml", "good.bin", files, trace));
  std::string image = files.File("good.bin");
  const auto checksum = static_cast<uint8_t>(image[2]);
  const std::string cs = {"0123456789ABCDEF"[checksum >> 4], "0123456789ABCDEF"[checksum & 15]};
  image[1] = '\x05';
  for (size_t at = 4; at < image.size(); at += 2) image[at] = '\x09';
  files.SetFile("image.bin", image);
  std::string fields = "image.bin: field 1 (\"head\") at offset 0, 4 bytes: image 01 05 " + cs +
                       " 00 (" + std::to_string(1 + 5 * 256 + checksum * 65536) +
                       "), description 01 00 " + cs + " 00 (" +
                       std::to_string(1 + checksum * 65536) + ")\n";
  for (int i = 0; i < 2000; ++i) {
    fields += "image.bin: field " + std::to_string(i + 2) + " at offset " +
              std::to_string(4 + 2 * i) + ", 2 bytes: image 09 00 (9), description 02 00 (2)\n";
  }
  struct Case {
    bool changes, scratch;
    std::string output;
  };
  const Case cases[] = {
      {false, true, fields},
      {true, true, "image.bin: the layout changed while it was read\n"},
      {false, false,
       fields.substr(0, fields.find('\n') + 1) +
           "image.bin: the output cannot be held in a scratch file until it is complete\n"},
  };
  for (const Case& c : cases) {
    testing::TroubledFiles troubled(files, c.changes, c.scratch);
    testing::TextCapture out;
    EXPECT_NE(RunVerify("image.bin", "layout.xml", OutputFormat::kText, troubled, out), 0);
    EXPECT_TRUE(out.Text() == c.output) << c.changes << c.scratch << out.Text().substr(0, 300);
  }
}

}  // namespace
}  // namespace pibgen
