#include "conversion/image/hex_string_to_bytes.h"

namespace pibgen {
namespace {

uint8_t NibbleValue(uint32_t unit) {
  if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
  const auto c = static_cast<uint8_t>(unit);
  return static_cast<uint8_t>(c <= 0x39 ? c - 0x30 : c - 0x37);
}

template <typename Char>
void Decode(std::basic_string_view<Char> text, uint8_t* buffer, size_t count) {
  const size_t length = text.size();
  for (size_t k = 0; k < count; ++k) {
    const size_t high = 2 * k;
    if (high >= length) break;
    const uint32_t low_unit = high + 1 < length ? static_cast<uint32_t>(text[high + 1]) : 0;
    buffer[k] = static_cast<uint8_t>((NibbleValue(static_cast<uint32_t>(text[high])) << 4) |
                                     NibbleValue(low_unit));
  }
}

}  // namespace

void HexStringToBytes(std::u16string_view text, uint8_t* buffer, size_t count) {
  Decode(text, buffer, count);
}

void HexStringToBytes(std::string_view ascii_text, uint8_t* buffer, size_t count) {
  Decode(ascii_text, buffer, count);
}

}  // namespace pibgen
