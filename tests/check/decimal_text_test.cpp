#include "check/decimal_text.h"

#include <gtest/gtest.h>

#include "format/parse_decimal.h"

namespace pibgen {
namespace {

struct DecimalCase {
  const char* text;
  bool has_digits;
  bool trailing;
  int64_t number;
  const char* written;
};

TEST(DecimalText, ReadsAsTheConversionDoesAndSaysWhatItSkipped) {
  const DecimalCase cases[] = {
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
  for (const DecimalCase& c : cases) {
    const DecimalText read = ReadDecimalText(c.text);
    EXPECT_EQ(read.value, ParseDecimal(c.text)) << c.text;
    EXPECT_EQ(read.has_digits, c.has_digits) << c.text;
    EXPECT_EQ(read.trailing, c.trailing) << c.text;
    EXPECT_EQ(read.number, c.number) << c.text;
    EXPECT_EQ(read.written, c.written) << c.text;
  }
}

}  // namespace
}  // namespace pibgen
