#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pibgen {

// Reading hex: a byte array value to its bytes.
//
// Fills count bytes from the first 2 * count characters (UTF-16 code units) of text, two
// characters a byte, with no validation: each character is upper-cased (a to z only) and cut
// to 8 bits, its nibble value is c - 0x30 up to '9' and c - 0x37 above, and byte = (high << 4)
// | low in 8 bits with the low value not masked. So "GG" gives 10, "AG" gives B0 and "1 "
// gives F0. The position just past the text reads as U+0000 (nibble D0); a byte whose high
// character lies at or past that position is left as it is.
void HexStringToBytes(std::u16string_view text, uint8_t* buffer, size_t count);
// The same over text that is known to be ASCII, where bytes and code units coincide.
void HexStringToBytes(std::string_view ascii_text, uint8_t* buffer, size_t count);

// Whether c is one of 0-9, a-f, A-F.
bool IsHexDigit(char c);

// Writing hex, always in upper case: bytes two digits each, with separator between bytes (none
// when it is '\0').
void AppendHex(std::string& out, const uint8_t* bytes, size_t count, char separator);
std::string HexByte(uint8_t byte);

}  // namespace pibgen
