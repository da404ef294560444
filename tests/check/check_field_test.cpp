#include "check/check_field.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file/memory_file_system.h"
#include "engine/read_fields.h"

namespace pibgen {
namespace {

// Checks the first field of "<pib>" + field + "</pib>" as field 1 starting at offset, and
// returns "LINE: warning: MESSAGE" (or error) for each finding.
std::vector<std::string> Check(const std::string& field, uint64_t offset = 100,
                               uint64_t* length = nullptr) {
  class FirstField final : public FieldHandler {
   public:
    explicit FirstField(uint64_t offset) : offset_(offset) {}
    bool BeginField(const Field& field, std::string_view, std::span<const xml::Attribute>,
                    std::span<const xml::Namespace>) override {
      check_.Begin(field);
      return true;
    }
    bool Child(const Field& field, std::string_view name, std::string_view,
               uint32_t line) override {
      check_.Child(field, name, line);
      return true;
    }
    bool EndField(const Field& field) override {
      Field placed = field;
      placed.offset = offset_;
      check_.End(placed);
      length = field.length;
      return false;
    }
    bool Broken(const Failure&) override { return true; }
    std::vector<Finding> findings;
    uint64_t length = 0;

   private:
    FieldCheck check_{findings};
    uint64_t offset_;
  } first(offset);
  file::MemoryFileSystem files;
  files.SetFile("f.xml", "<pib>" + field + "</pib>");
  const Failure read = ReadFields(*files.OpenSource("f.xml", nullptr), first);
  if (read.kind != FailureKind::kStopped && read.kind != FailureKind::kNegativeSize) {
    return {"(not loaded)"};
  }
  if (length != nullptr) *length = first.length;
  std::vector<std::string> lines;
  for (const Finding& f : first.findings) {
    lines.push_back(std::to_string(f.line) + ": " +
                    std::string(SeverityWord(RowOf(f.code).severity)) + ": " + MessageText(f));
  }
  return lines;
}

using Lines = std::vector<std::string>;

struct FieldCase {
  const char* field;
  Lines expected;
};

void RunCases(const std::vector<FieldCase>& cases) {
  for (const FieldCase& c : cases) EXPECT_EQ(Check(c.field), c.expected) << c.field;
}

TEST(CheckField, NumericValues) {
  RunCases({
      {"<f><type>System.UInt16</type><value>65535</value></f>", {}},
      {"<f><type>System.Byte</type><value>+0</value></f>", {}},
      {"<f><type>System.Byte</type><value>\xC2\xA0 255</value></f>", {}},
      {"<f><type>System.UInt32</type><value>2147483647</value></f>", {}},
      {"<f><type>System.Int32</type><value>-2147483648</value></f>", {}},
      {"<f><type>System.Byte</type><value>256</value></f>",
       {"1: warning: field 1: value 256 is outside 0 to 255 for System.Byte; written as 00"}},
      {"<f><type>System.Byte</type><value>-1</value></f>",
       {"1: warning: field 1: value -1 is outside 0 to 255 for System.Byte; written as FF"}},
      {"<f><type>System.UInt16</type><value>65536</value></f>",
       {"1: warning: field 1: value 65536 is outside 0 to 65535 for System.UInt16; written as "
        "00 00"}},
      {"<f><type>System.UInt32</type><value>4294967295</value></f>",
       {"1: warning: field 1: value 4294967295 is outside 0 to 2147483647 for System.UInt32; "
        "written as FF FF FF 7F"}},
      {"<f><type>System.UInt32</type><value>-2</value></f>",
       {"1: warning: field 1: value -2 is outside 0 to 2147483647 for System.UInt32; written as "
        "FE FF FF FF"}},
      {"<f><type>System.Int32</type><value>-000000000002147483649</value></f>",
       {"1: warning: field 1: value -000000000002147483649 is outside -2147483648 to 2147483647 "
        "for System.Int32; written as 00 00 00 80"}},
      {"<f><type>System.Int32</type><value>123456789012345678901234567890</value></f>",
       {"1: warning: field 1: value 123456789012345678901234567890 is outside -2147483648 to "
        "2147483647 for System.Int32; written as FF FF FF 7F"}},
      {"<f><type>System.Byte</type><value>12abc</value></f>",
       {"1: warning: field 1: value \"12abc\" has characters after the number; read as 12"}},
      {"<f><type>System.Byte</type><value>1 2</value></f>",
       {"1: warning: field 1: value \"1 2\" has characters after the number; read as 1"}},
      {"<f><type>System.Byte</type><value>999x</value></f>",
       {"1: warning: field 1: value \"999x\" has characters after the number; read as 999",
        "1: warning: field 1: value 999 is outside 0 to 255 for System.Byte; written as E7"}},
      {"<f><type>System.UInt16</type><value>-</value></f>",
       {"1: warning: field 1: value \"-\" has no number; written as 00 00"}},
      {"<f><type>System.UInt16</type><value/></f>",
       {"1: warning: field 1: value \"\" has no number; written as 00 00"}},
      {"<f><type>System.UInt32</type></f>",
       {"1: warning: field 1: System.UInt32 field has no <value>; written as 00 00 00 00"}},
      // A fill field's value is dropped, and says so; a numeric field's size is ignored, whatever
      // its text.
      {"<f><type>pad</type><size>2</size><value>x</value></f>",
       {"1: warning: field 1: type \"pad\" is unknown, so the field is a zero fill of 2 bytes and "
        "its value \"x\" is not written"}},
      {"<f><type>System.Byte</type><size>-3q</size><value>1</value></f>",
       {"1: warning: field 1: <size> is ignored; System.Byte is always 1 byte"}},
      {"<f><type>System.UInt16</type><value>1</value><size>2</size></f>",
       {"1: warning: field 1: <size> is ignored; System.UInt16 is always 2 bytes"}},
  });
}

TEST(CheckField, Sizes) {
  RunCases({
      {"<f><type>pad</type><size> 4 </size></f>", {}},
      {"<f><type>pad</type><size>2147483647</size></f>", {}},
      {"<f><type>pad</type><size>12abc</size></f>",
       {"1: warning: field 1: size \"12abc\" has characters after the number; read as 12"}},
      {"<f><type>System.Byte[]</type><size>1.5</size><value>00</value></f>",
       {"1: warning: field 1: size \"1.5\" has characters after the number; read as 1"}},
      {"<f><type>pad</type><size>0x10</size></f>",
       {"1: warning: field 1: size \"0x10\" has characters after the number; read as 0"}},
      {"<f><type>pad</type><size>ten</size></f>",
       {"1: warning: field 1: size \"ten\" has no number; read as 0"}},
      {"<f><type>pad</type><size>2147483648</size></f>",
       {"1: warning: field 1: size 2147483648 is outside 0 to 2147483647; read as 2147483647"}},
      {"<f><type>pad</type><size>-1</size></f>",
       {"1: error: field 1: negative size (-1); the conversion refuses the description"}},
      {"<f><type>System.Byte[]</type><size>-5x</size><value>GG</value></f>",
       {"1: error: field 1: negative size (-5); the conversion refuses the description",
        "1: warning: field 1: size \"-5x\" has characters after the number; read as -5"}},
      {"<f><size>3</size></f>",
       {"1: warning: field 1: <size> without <type>; written as 3 zero bytes"}},
      {"<f><size>-3</size></f>",
       {"1: error: field 1: negative size (-3); the conversion refuses the description"}},
      // Without a type a value is dropped: one warning, whether or not a size is given.
      {"<f><value>3</value></f>",
       {"1: warning: field 1: <value> without <type>; the field is a zero fill of 0 bytes and its "
        "value \"3\" is not written"}},
      {"<f><size>4</size><value>ab</value></f>",
       {"1: warning: field 1: <value> without <type>; the field is a zero fill of 4 bytes and its "
        "value \"ab\" is not written"}},
      {"<f><size>-2</size><value>1</value></f>",
       {"1: error: field 1: negative size (-2); the conversion refuses the description"}},
      {"<f><value/></f>", {}},
      {"<f/>", {}},
  });
}

TEST(CheckField, ByteArrayValues) {
  RunCases({
      {"<f><type>System.Byte[]</type><size>2</size><value>0a1B</value></f>", {}},
      {"<f><type>System.Byte[]</type><size>0</size></f>", {}},
      {"<f><type>System.Byte[]</type><size>0</size><value/></f>", {}},
      {"<f><type>System.Byte[]</type><size>1</size><value>0x</value></f>",
       {"1: warning: field 1: value \"0x\" has characters that are not hex digits"}},
      {"<f><type>System.Byte[]</type><size>1</size><value>\xC3\xA9\x31</value></f>",
       {"1: warning: field 1: value \"\xC3\xA9\x31\" has characters that are not hex digits"}},
      {"<f><type>System.Byte[]</type><size>2</size><value>61 62</value></f>",
       {"1: warning: field 1: value \"61 62\" has characters that are not hex digits",
        "1: warning: field 1: value has 5 characters, 4 expected for size 2; the characters past "
        "4 are ignored"}},
      // What the image holds is decoded as the conversion decodes it: a lone last character
      // pairs with a zero (C and the zero give D0).
      {"<f><type>System.Byte[]</type><size>3</size><value>ABC</value></f>",
       {"1: warning: field 1: value has 3 characters, 6 expected for size 3; the image holds AB "
        "D0 00"}},
      {"<f><type>System.Byte[]</type><size>20</size><value>0102030405060708090a0B</value></f>",
       {"1: warning: field 1: value has 22 characters, 40 expected for size 20; the image holds "
        "01 02 03 04 05 06 ... 0A 0B then 9 zero bytes"}},
      {"<f><type>System.Byte[]</type><size>6</size><value></value></f>",
       {"1: warning: field 1: value has 0 characters, 12 expected for size 6; the image holds 6 "
        "zero bytes"}},
      {"<f><type>System.Byte[]</type><value>61</value></f>",
       {"1: warning: field 1: value has 2 characters, 0 expected for size 0; the characters past "
        "0 are ignored"}},
      // A character beyond U+FFFF takes two positions of the value.
      {"<f><type>System.Byte[]</type><size>1</size><value>\xF0\x9F\x98\x80</value></f>",
       {"1: warning: field 1: value \"\xF0\x9F\x98\x80\" has characters that are not hex digits"}},
      {"<f><type>System.Byte[]</type><size>5</size></f>",
       {"1: warning: field 1: System.Byte[] field has no <value>; its 5 bytes are zero"}},
  });
}

TEST(CheckField, TypeNamesAndChildNames) {
  RunCases({
      {"<f><type>padding</type><size>1</size></f>", {}},
      {"<f><type/><size>1</size></f>", {}},
      {"<f><type>system.uint16</type><value>1</value></f>",
       {"1: warning: field 1: type \"system.uint16\" is unknown, so the field is a zero fill of 0 "
        "bytes and its value \"1\" is not written; did you mean \"System.UInt16\"?"}},
      {"<f><type>System.Byte[ ]</type><size>2</size><value>0000</value></f>",
       {"1: warning: field 1: type \"System.Byte[ ]\" is unknown, so the field is a zero fill of "
        "2 bytes and its value \"0000\" is not written; did you mean \"System.Byte[]\"?"}},
      {"<f><type>system.byte</type></f>",
       {"1: warning: field 1: type \"system.byte\" is unknown, so the field is a zero fill of 0 "
        "bytes; did you mean \"System.Byte\"?"}},
      // A value is dropped even when no known name is near the type.
      {"<f><type>uint32_t</type><value>5</value></f>",
       {"1: warning: field 1: type \"uint32_t\" is unknown, so the field is a zero fill of 0 "
        "bytes and its value \"5\" is not written"}},
      {"<f><type>System.String</type><size>2</size><value>ab</value></f>",
       {"1: warning: field 1: type \"System.String\" is unknown, so the field is a zero fill of 2 "
        "bytes and its value \"ab\" is not written"}},
      {"<f><type>pad</type><size>1</size><value/></f>", {}},
      {"<f><Type>System.Byte</Type><SIZE>1</SIZE><vaLue>1</vaLue><types/><!--type--></f>",
       {"1: warning: field 1: <Type> is ignored; did you mean <type>?",
        "1: warning: field 1: <SIZE> is ignored; did you mean <size>?",
        "1: warning: field 1: <vaLue> is ignored; did you mean <value>?"}},
      {"<f>\n<type>pad</type>\n<type>System.Byte</type>\n<value>1</value>\n<type>System.Byte</type>"
       "<value>2</value></f>",
       {"3: warning: field 1: repeated <type> replaces the one on line 2",
        "5: warning: field 1: repeated <type> replaces the one on line 3",
        "5: warning: field 1: repeated <value> replaces the one on line 4"}},
  });
}

TEST(CheckField, LinesPointAtTheChildThatCounts) {
  EXPECT_EQ(
      Check("<f>\n<type>System.Byte</type>\n<value>1</value>\n\n<value>\n  256\n</value></f>"),
      (Lines{"5: warning: field 1: repeated <value> replaces the one on line 3",
             "5: warning: field 1: value 256 is outside 0 to 255 for System.Byte; written "
             "as 00"}));
  EXPECT_EQ(
      Check("\n<f>\n<type>System.Int32</type>\n</f>"),
      Lines{"2: warning: field 1: System.Int32 field has no <value>; written as 00 00 00 00"});
}

TEST(CheckField, NamesTheFieldByItsNameAttribute) {
  EXPECT_EQ(Check("<f name='speed' id='x'><type>System.Byte</type></f>"),
            Lines{"1: warning: field 1 (\"speed\"): System.Byte field has no <value>; written as "
                  "00"});
  EXPECT_EQ(Check("<f name='a\"b&#10;c'><type>System.Byte</type></f>"),
            Lines{"1: warning: field 1 (\"a\"b\\nc\"): System.Byte field has no <value>; "
                  "written as 00"});
  EXPECT_EQ(Check("<f Name='x' name=''><type>System.Byte</type></f>"),
            Lines{"1: warning: field 1 (\"\"): System.Byte field has no <value>; written as 00"});
}

struct OverlapCase {
  const char* field;
  uint64_t offset;
  uint64_t length;
  bool warns;
};

TEST(CheckField, WarnsWhenTheChecksumOverwritesPartOfAField) {
  const OverlapCase cases[] = {
      {"<f><type>System.Byte</type><value>0</value></f>", 2, 1, false},
      {"<f><type>System.Byte[]</type><size>1</size><value>00</value></f>", 2, 1, false},
      {"<f><type>pad</type><size>1</size></f>", 2, 1, false},
      {"<f><type>pad</type><size>0</size></f>", 2, 0, false},
      {"<f><type>System.UInt16</type><value>0</value></f>", 0, 2, false},
      {"<f><type>System.UInt16</type><value>0</value></f>", 3, 2, false},
      {"<f><type>System.UInt16</type><value>0</value></f>", 1, 2, true},
      {"<f><type>System.UInt16</type><value>0</value></f>", 2, 2, true},
      {"<f><type>System.UInt32</type><value>0</value></f>", 0, 4, true},
      {"<f><type>pad</type><size>100</size></f>", 0, 100, true},
      {"<f><type>System.Byte[]</type><size>2</size><value>0000</value></f>", 2, 2, true},
  };
  for (const OverlapCase& c : cases) {
    uint64_t length = 0;
    const Lines lines = Check(c.field, c.offset, &length);
    EXPECT_EQ(length, c.length) << c.field;
    Lines expected;
    if (c.warns) {
      expected.push_back(
          "1: warning: field 1: its byte at offset 2 is overwritten by the checksum (the field "
          "covers offsets " +
          std::to_string(c.offset) + " to " + std::to_string(c.offset + c.length - 1) + ")");
    }
    EXPECT_EQ(lines, expected) << c.field << " at " << c.offset;
  }
}

}  // namespace
}  // namespace pibgen
