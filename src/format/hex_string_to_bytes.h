#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pibgen {

// Fills count bytes from the first 2 * count characters (UTF-16 code units) of text, two
// characters a byte, with the encoder's exact arithmetic: each character is upper-cased
// (a to z only) and cut to 8 bits, its nibble value is c - 0x30 up to '9' and c - 0x37
// above, and byte = (high << 4) | low in 8 bits with the low value not masked. So "GG" gives
// 10, "AG" gives B0 and "1 " gives F0. The position just past the text reads as U+0000
// (nibble D0); a byte whose high character lies at or past that position is left as it is.
void HexStringToBytes(std::u16string_view text, uint8_t* buffer, size_t count);

// The same over text that is known to be ASCII, where bytes and code units coincide.
void HexStringToBytes(std::string_view ascii_text, uint8_t* buffer, size_t count);

}  // namespace pibgen
