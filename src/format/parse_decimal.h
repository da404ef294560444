#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pibgen {

// Decimal text (UTF-8) to a signed 32-bit integer, the way wcstol reads base 10: leading
// white space (U+0009 to U+000D, U+0020, U+0085, U+00A0), one optional sign, then ASCII
// digits up to the first other character. No digits gives 0, out-of-range values saturate,
// and there is no error indication ("0x10" gives 0).
int32_t ParseDecimal(std::string_view text);

// How decimal text reads under ParseDecimal's rules, with what those rules pass over in
// silence: whether there were digits at all, whether anything follows them, and the number
// as written before it was saturated to 32 bits.
struct DecimalText {
  int32_t value = 0;        // what ParseDecimal gives
  bool has_digits = false;  // false: the value is 0 whatever the text says
  bool trailing = false;    // characters follow the digits
  // The number as written, clamped to +-2^40 (far outside every range it is checked against).
  int64_t number = 0;
  std::string written;  // the sign and digits as they appear in the text
};
DecimalText ReadDecimalText(std::string_view text);

}  // namespace pibgen
