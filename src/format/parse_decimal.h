#pragma once

#include <cstdint>
#include <string_view>

namespace pibgen {

// Decimal text (UTF-8) to a signed 32-bit integer, the way wcstol reads base 10: leading
// white space (U+0009 to U+000D, U+0020, U+0085, U+00A0), one optional sign, then ASCII
// digits up to the first other character. No digits gives 0, out-of-range values saturate,
// and there is no error indication ("0x10" gives 0).
int32_t ParseDecimal(std::string_view text);

}  // namespace pibgen
