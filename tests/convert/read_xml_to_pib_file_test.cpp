#include "convert_and_say.h"

#include <gtest/gtest.h>

#include "file/memory_file_system.h"
#include "image_bytes.h"
#include "text_capture.h"

namespace pibgen {
namespace {

class ReadXMLToPIBFileTest : public ::testing::Test {
 protected:
  bool Convert(const std::string& description) {
    files_.SetFile("fields.xml", description);
    return testing::ConvertAndSay("fields.xml", "image.bin", files_, out_);
  }
  std::vector<uint8_t> Image() const { return testing::Bytes(files_.File("image.bin")); }

  file::MemoryFileSystem files_;
  testing::TextCapture out_;
};

TEST_F(ReadXMLToPIBFileTest, WorkedExample) {
  ASSERT_TRUE(
      Convert("<pib><f><type>System.UInt16</type><value>1</value></f>"
              "<f><type>System.Byte</type><value>2</value></f>"
              "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>"));
  EXPECT_EQ(out_.Text(),
            "type--System.UInt16\nvalue--1\ntype--System.Byte\nvalue--2\n"
            "type--System.Byte[]\nsize--3\nvalue--616263\n");
  EXPECT_EQ(Image(), (std::vector<uint8_t>{0x01, 0x00, 0x35, 0x61, 0x62, 0x63}));
}

TEST_F(ReadXMLToPIBFileTest, ChildrenAreTracedWhetherOrNotTheyCount) {
  ASSERT_TRUE(Convert(
      "<pib><f name='x'><Type>System.Byte</Type><val>9</val><value>1</value><value>2</value>"
      "<type>System.Byte</type><!-- c --></f><f/><f><size>12abc</size></f></pib>"));
  EXPECT_EQ(out_.Text(),
            "Type--System.Byte\nval--9\nvalue--1\nvalue--2\ntype--System.Byte\n#comment--c\n"
            "size--12abc\n");
  std::vector<uint8_t> expected(13, 0);
  expected[0] = 0x02;
  expected[2] = 0xE3;  // top byte of the CRC-32 of ten zero bytes, 0xE38A6876
  EXPECT_EQ(Image(), expected);
}

TEST_F(ReadXMLToPIBFileTest, EmptyRootGivesEmptyImage) {
  files_.SetFile("image.bin", "old");
  ASSERT_TRUE(Convert("<pib/>"));
  EXPECT_EQ(out_.Text(), "");
  EXPECT_TRUE(Image().empty());
}

struct FailureCase {
  const char* name;
  const char* description;  // null: no source file at all
  const char* message;
};

class ConversionFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConversionFailureTest, LeavesTheDestinationAsItWas) {
  const FailureCase& c = GetParam();
  file::MemoryFileSystem files;
  if (c.description != nullptr) files.SetFile("fields.xml", c.description);
  files.SetFile("image.bin", "keep me");
  testing::TextCapture out;
  EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "image.bin", files, out));
  EXPECT_EQ(out.Text(), c.message);
  EXPECT_EQ(files.File("image.bin"), "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionFailureTest,
    ::testing::Values(
        FailureCase{"missing", nullptr, "load xml file fail\n"},
        FailureCase{"empty", "", "load xml file fail\n"},
        FailureCase{"malformed", "<pib><f></pib>", "load xml file fail\n"},
        FailureCase{"comment", "<pib>\n<f/>\n<!-- x -->\n</pib>",
                    "fields.xml:3: field 2 is a comment, not an element\n"},
        FailureCase{"text", "<pib><f/>stray</pib>",
                    "fields.xml:1: field 2 is text, not an element\n"},
        FailureCase{"instruction", "<pib><?pi x?></pib>",
                    "fields.xml:1: field 1 is a processing instruction, not an element\n"},
        FailureCase{"cdata", "<pib><![CDATA[x]]></pib>",
                    "fields.xml:1: field 1 is a CDATA section, not an element\n"},
        FailureCase{"negative fill", "<pib><f><size>4</size></f>\n<f>\n<size>-1</size></f></pib>",
                    "fields.xml:3: field 2 has a negative size (-1)\n"},
        FailureCase{"negative bytes",
                    "<pib><f><type>System.Byte[]</type><size>-2147483649</size></f></pib>",
                    "fields.xml:1: field 1 has a negative size (-2147483648)\n"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

TEST_F(ReadXMLToPIBFileTest, NegativeSizeOnANumericTypeIsHarmless) {
  ASSERT_TRUE(Convert("<pib><f><type>System.Byte</type><size>-1</size><value>5</value></f></pib>"));
  EXPECT_EQ(Image(), std::vector<uint8_t>{0x05});
}

TEST_F(ReadXMLToPIBFileTest, EmptyDestinationIsRefusedAfterTheLoad) {
  files_.SetFile("fields.xml", "<pib/>");
  EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "", files_, out_));
  EXPECT_EQ(out_.Text(), "create pib file fail\n");
}

TEST_F(ReadXMLToPIBFileTest, TheDescriptionIsNeverItsOwnImage) {
  files_.SetFile("fields.xml", "<pib><f><size>3</size></f></pib>");
  EXPECT_FALSE(testing::ConvertAndSay("fields.xml", "fields.xml", files_, out_));
  EXPECT_EQ(out_.Text(), "create pib file fail\n");
  EXPECT_EQ(files_.File("fields.xml"), "<pib><f><size>3</size></f></pib>");
}

}  // namespace
}  // namespace pibgen
