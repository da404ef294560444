#include "format/parse_decimal.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

namespace pibgen {
namespace {

struct DecimalCase {
  const char* text;
  int32_t expected;
};

class ParseDecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTest, MatchesBase10Wcstol) {
  EXPECT_EQ(ParseDecimal(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDecimalTest,
    ::testing::Values(
        // plain digits, signs, stop at the first other character
        DecimalCase{"0", 0}, DecimalCase{"42", 42}, DecimalCase{"+7", 7}, DecimalCase{"-1", -1},
        DecimalCase{"-0", 0}, DecimalCase{"12abc", 12}, DecimalCase{"1 2", 1},
        DecimalCase{"3.9", 3}, DecimalCase{"007", 7},
        // nothing to convert
        DecimalCase{"", 0}, DecimalCase{"abc", 0}, DecimalCase{"-", 0}, DecimalCase{"+-1", 0},
        DecimalCase{"--1", 0}, DecimalCase{"- 1", 0},
        // no hexadecimal, and only ASCII digits
        DecimalCase{"0x10", 0}, DecimalCase{"\xD9\xA3", 0}, DecimalCase{"\xEF\xBC\x91", 0},
        // leading white space: tab to carriage return, blank, U+0085, U+00A0; nothing else
        DecimalCase{" \t\n\v\f\r5", 5}, DecimalCase{"\xC2\x85-6", -6},
        DecimalCase{"\xC2\xA0\xC2\xA0"
                    "8",
                    8},
        DecimalCase{"\xE2\x80\x83"
                    "9",
                    0},
        DecimalCase{"\xC2"
                    "5",
                    0},
        DecimalCase{"5 ", 5},
        // saturation at the 32-bit limits, whatever the number of digits
        DecimalCase{"2147483647", 2147483647}, DecimalCase{"2147483648", 2147483647},
        DecimalCase{"4294967295", 2147483647},
        DecimalCase{"99999999999999999999999999", 2147483647},
        DecimalCase{"-2147483648", INT32_MIN}, DecimalCase{"-2147483649", INT32_MIN},
        DecimalCase{"-99999999999999999999999999", INT32_MIN}));

struct DecimalTextCase {
  const char* text;
  bool has_digits;
  bool trailing;
  int64_t number;
  const char* written;
};

TEST(DecimalText, ReadsAsTheConversionDoesAndSaysWhatItSkipped) {
  const DecimalTextCase cases[] = {
      {"42", true, false, 42, "42"},
      {"  +7", true, false, 7, "+7"},
      {"\xC2\xA0\xC2\x85\t-12", true, false, -12, "-12"},
      {"12abc", true, true, 12, "12"},
      {"0x10", true, true, 0, "0"},
      {"5 ", true, true, 5, "5"},
      {"-", false, false, 0, ""},
      {"", false, false, 0, ""},
      {"abc", false, false, 0, ""},
      {"+-1", false, false, 0, ""},
      {"\xC2\xA1"
       "1",
       false, false, 0, ""},  // U+00A1 is not white space
      {"2147483648", true, false, 2147483648, "2147483648"},
      {"-2147483649", true, false, -2147483649, "-2147483649"},
      {"99999999999999999999999", true, false, int64_t{1} << 40, "99999999999999999999999"},
      {"-99999999999999999999999", true, false, -(int64_t{1} << 40), "-99999999999999999999999"},
  };
  for (const DecimalTextCase& c : cases) {
    const DecimalText read = ReadDecimalText(c.text);
    EXPECT_EQ(read.value, ParseDecimal(c.text)) << c.text;
    EXPECT_EQ(read.has_digits, c.has_digits) << c.text;
    EXPECT_EQ(read.trailing, c.trailing) << c.text;
    EXPECT_EQ(read.number, c.number) << c.text;
    EXPECT_EQ(read.written, c.written) << c.text;
  }
}

// Against the C library on ASCII text: strtoll, then held to the 32-bit range.
TEST(ParseDecimal, AgreesWithStrtollHeldTo32Bits) {
  std::mt19937 random(31);
  const std::string alphabet = "0123456789999999+- \t\nx";
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 14, '0');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    long long expected = std::strtoll(text.c_str(), nullptr, 10);
    expected = std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, expected));
    ASSERT_EQ(ParseDecimal(text), expected) << "'" << text << "'";
  }
}

}  // namespace
}  // namespace pibgen
