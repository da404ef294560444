#include "format/hex.h"

#include <algorithm>
#include <array>

namespace pibgen {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

constexpr uint8_t NibbleValue(uint32_t unit) {
  if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
  const auto c = static_cast<uint8_t>(unit);
  return static_cast<uint8_t>(c <= 0x39 ? c - 0x30 : c - 0x37);
}

// NibbleValue of every 8-bit character, for text known to be one byte a character.
constexpr auto kNibbleTable = [] {
  std::array<uint8_t, 256> table{};
  for (uint32_t c = 0; c < 256; ++c) table[c] = NibbleValue(c);
  return table;
}();

}  // namespace

void HexStringToBytes(std::u16string_view text, uint8_t* buffer, size_t count) {
  const size_t length = text.size();
  for (size_t k = 0; k < count; ++k) {
    const size_t high = 2 * k;
    if (high >= length) break;
    const uint32_t low_unit = high + 1 < length ? static_cast<uint32_t>(text[high + 1]) : 0;
    buffer[k] = static_cast<uint8_t>((NibbleValue(static_cast<uint32_t>(text[high])) << 4) |
                                     NibbleValue(low_unit));
  }
}

void HexStringToBytes(std::string_view ascii_text, uint8_t* buffer, size_t count) {
  const auto* text = reinterpret_cast<const unsigned char*>(ascii_text.data());
  const size_t pairs = std::min(count, ascii_text.size() / 2);
  for (size_t k = 0; k < pairs; ++k) {
    buffer[k] =
        static_cast<uint8_t>((kNibbleTable[text[2 * k]] << 4) | kNibbleTable[text[2 * k + 1]]);
  }
  // A last lone character pairs with the position past the text, which reads as 0.
  if (pairs < count && 2 * pairs < ascii_text.size()) {
    buffer[pairs] = static_cast<uint8_t>((kNibbleTable[text[2 * pairs]] << 4) | kNibbleTable[0]);
  }
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t count, char separator) {
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && separator != '\0') out += separator;
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
}

std::string HexByte(uint8_t byte) { return {kDigits[byte >> 4], kDigits[byte & 0x0F]}; }

}  // namespace pibgen
