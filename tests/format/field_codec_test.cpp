#include "format/field_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace pibgen {
namespace {

struct FieldCase {
  const char* type;
  int32_t size;
  const char* value;
  std::vector<uint8_t> expected;
};

std::vector<uint8_t> Encode(const FieldEntry& entry) {
  FieldBytes bytes;
  WriteField(bytes, entry);
  EXPECT_EQ(bytes.bytes.size() + bytes.zeros, FieldLength(entry));
  bytes.bytes.resize(static_cast<size_t>(bytes.bytes.size() + bytes.zeros), 0);
  return bytes.bytes;
}

class WriteFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(WriteFieldTest, EncodesTheType) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(Encode({c.type, c.size, c.value}), c.expected)
      << c.type << " size " << c.size << " value '" << c.value << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Numeric, WriteFieldTest,
    ::testing::Values(FieldCase{"System.UInt16", 0, "1", {0x01, 0x00}},
                      FieldCase{"System.UInt16", 0, "65540", {0x04, 0x00}},
                      FieldCase{"System.UInt16", 0, "-1", {0xFF, 0xFF}},
                      FieldCase{"System.UInt16", 7, "258", {0x02, 0x01}},  // size is not looked at
                      FieldCase{"System.Byte", 0, "2", {0x02}},
                      FieldCase{"System.Byte", 0, "256", {0x00}},
                      FieldCase{"System.Byte", 0, "300", {0x2C}},
                      FieldCase{"System.Byte", -5, "", {0x00}},
                      FieldCase{"System.UInt32", 0, "4294967295", {0xFF, 0xFF, 0xFF, 0x7F}},
                      FieldCase{"System.UInt32", 0, "-1", {0xFF, 0xFF, 0xFF, 0xFF}},
                      FieldCase{"System.UInt32", 0, "16909060", {0x04, 0x03, 0x02, 0x01}},
                      FieldCase{"System.Int32", 0, "-2147483649", {0x00, 0x00, 0x00, 0x80}},
                      FieldCase{"System.Int32", 0, "0x10", {0x00, 0x00, 0x00, 0x00}},
                      FieldCase{"System.Int32", 0, " +12abc", {0x0C, 0x00, 0x00, 0x00}}));

INSTANTIATE_TEST_SUITE_P(
    Sized, WriteFieldTest,
    ::testing::Values(FieldCase{"System.Byte[]", 3, "616263", {0x61, 0x62, 0x63}},
                      FieldCase{"System.Byte[]", 2, "A1b2c3", {0xA1, 0xB2}},
                      FieldCase{"System.Byte[]", 2, "A1B", {0xA1, 0xF0}},
                      FieldCase{"System.Byte[]", 4, "A1", {0xA1, 0x00, 0x00, 0x00}},
                      FieldCase{"System.Byte[]", 0, "A1", {}},
                      // non-ASCII text is decoded by UTF-16 code unit: U+00E9 reads as 0xE9 - 0x37
                      FieldCase{"System.Byte[]",
                                1,
                                "\xC3\xA9"
                                "1",
                                {0x21}},
                      // a character beyond U+FFFF is two code units (D83D DE00 here)
                      FieldCase{"System.Byte[]", 1, "\xF0\x9F\x98\x80", {0xF0}},
                      FieldCase{"", 3, "99", {0x00, 0x00, 0x00}},
                      FieldCase{"system.byte", 4, "1", {0x00, 0x00, 0x00, 0x00}},
                      FieldCase{"System.Byte[] ", 2, "FFFF", {0x00, 0x00}},
                      FieldCase{"anything", 0, "", {}}));

TEST(WriteField, LongByteArrayDecodesPastAnySmallLimit) {
  std::string value;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 20000; ++i) {
    const int byte = (i * 7) & 0xFF;
    static const char kDigits[] = "0123456789ABCDEF";
    value += kDigits[byte >> 4];
    value += kDigits[byte & 15];
    expected.push_back(static_cast<uint8_t>(byte));
  }
  expected.resize(expected.size() + 5000, 0);
  EXPECT_EQ(Encode({"System.Byte[]", 25000, value}), expected);
}

TEST(WriteField, AFillIsAllZeros) {
  const std::vector<uint8_t> image = Encode({"", 3 << 20, ""});
  ASSERT_EQ(image.size(), size_t{3} << 20);
  EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<long>(image.size()));
}

// Every numeric type's bytes decode to a value text that writes them again, the top bit set
// or not, for each row of the type table.
TEST(NumericValueText, WritesTheSameBytesBack) {
  for (const FieldType& type : kFieldTypes) {
    if (type.encoding != Encoding::kLittleEndian) continue;
    const auto width = static_cast<size_t>(type.width);
    for (const std::vector<uint8_t>& pattern :
         {std::vector<uint8_t>(width, 0x00), std::vector<uint8_t>(width, 0xFF),
          std::vector<uint8_t>(width, 0x80), std::vector<uint8_t>(width, 0x7F)}) {
      const std::string text = NumericValueText(type.kind, pattern.data());
      EXPECT_EQ(Encode({std::string(type.name), 0, text}), pattern) << type.name << " " << text;
    }
  }
}

}  // namespace
}  // namespace pibgen
