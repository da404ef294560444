#pragma once

#include <string>
#include <string_view>

namespace pibgen {

// UTF-8 to UTF-16 code units. Byte[] values are decoded by code unit, so a character beyond
// U+FFFF takes two positions.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace pibgen
