#include "format/parse_decimal.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pibgen
