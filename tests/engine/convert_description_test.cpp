#include <gtest/gtest.h>
#include <pibgen/pibgen.h>

#include <string>
#include <vector>

#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "image_bytes.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// The library's image of a description is the program's, byte for byte, and where the
// program refuses one the library says why with the code and line the manual gives.
TEST(ConvertDescription, MakesTheProgramsImageOrSaysWhyNot) {
  struct Case {
    const char* description;
    const char* code;  // empty: converts
    uint32_t line;
  };
  const Case cases[] = {
      {"<pib><f><type>System.UInt16</type><value>1</value></f>"
       "<f><type>System.Byte</type><value>2</value></f>"
       "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>",
       "", 0},
      {"<pib/>", "", 0},
      {"<pib><f><type>System.Int32</type><value>-7</value></f><f><size>70000</size></f></pib>", "",
       0},
      {"<pib>\n<f/>\n<!-- c -->\n</pib>", "not-an-element", 3},
      {"<pib>\n<f><type>System.Byte[]</type>\n<size>-1</size></f></pib>", "negative-size", 3},
      {"<pib><f></pib>", "not-well-formed", 1},
      {"<!DOCTYPE r [<!ENTITY e SYSTEM \"/etc/passwd\">]><r>&e;</r>", "external-entity", 1},
  };
  for (const Case& c : cases) {
    const ImageResult result = ConvertDescription(c.description);
    file::MemoryFileSystem files;
    files.SetFile("fields.xml", c.description);
    testing::TextCapture out;
    const bool converted = testing::ConvertAndSay("fields.xml", "image.bin", files, out);
    ASSERT_EQ(static_cast<bool>(result), converted) << c.description;
    if (converted) {
      EXPECT_EQ(result.image, testing::Bytes(files.File("image.bin"))) << c.description;
      EXPECT_EQ(std::string(c.code), "") << c.description;
      continue;
    }
    EXPECT_TRUE(result.image.empty());
    EXPECT_EQ(result.problem->code, c.code) << c.description;
    EXPECT_EQ(result.problem->line, c.line) << c.description;
    EXPECT_FALSE(result.problem->message.empty());
  }
}

TEST(ChecksumByte, IsTheTopByteOfTheCrcPastOffsetTwo) {
  const std::vector<uint8_t> worked = {0x01, 0x00, 0x02, 0x61, 0x62, 0x63};
  EXPECT_EQ(ChecksumByte(worked), 0x35);
  EXPECT_EQ(ChecksumByte(std::vector<uint8_t>{1, 2, 3}), 0x00);  // the CRC of nothing
  EXPECT_EQ(ChecksumByte(std::vector<uint8_t>{1, 2}), std::nullopt);
}

}  // namespace
}  // namespace pibgen
