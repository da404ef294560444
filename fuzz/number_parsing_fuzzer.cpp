// Checks ParseDecimal and both HexStringToBytes overloads against plain reference versions
// written for clarity rather than speed. The first input byte picks the byte count for the hex
// decoding; the rest is the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "format/hex.h"
#include "format/parse_decimal.h"
#include "format/utf8_to_utf16.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "mismatch: %s\n", what);
  std::abort();
}

// Reference: skip blanks, take a sign, then digits; keep only the significant digits and let
// any number of more than ten of them count as out of range.
int32_t ReferenceDecimal(std::string_view text) {
  size_t i = 0;
  for (;;) {
    if (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
      i += 1;
    } else if (i + 1 < text.size() && text[i] == '\xC2' &&
               (text[i + 1] == '\x85' || text[i + 1] == '\xA0')) {
      i += 2;
    } else {
      break;
    }
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string digits;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (!(digits.empty() && text[i] == '0')) digits += text[i];
    ++i;
  }
  if (digits.size() > 10) return negative ? INT32_MIN : INT32_MAX;
  long long value = digits.empty() ? 0 : std::stoll(digits);
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

unsigned ReferenceNibble(uint32_t unit) {
  if (unit >= 'a' && unit <= 'z') unit = unit - 'a' + 'A';
  const unsigned c = unit % 256;
  return (c <= '9' ? c - 0x30 : c - 0x37) % 256;
}

// Reference: byte k is the high unit's nibble shifted up, or-ed with the low unit's (a missing
// low unit reads as 0); bytes whose high unit lies past the text are left alone.
template <typename Unit>
std::vector<uint8_t> ReferenceHex(const std::vector<Unit>& units, size_t count, uint8_t fill) {
  std::vector<uint8_t> out(count, fill);
  for (size_t k = 0; k < count && 2 * k < units.size(); ++k) {
    const uint32_t high = static_cast<uint32_t>(units[2 * k]);
    const uint32_t low = 2 * k + 1 < units.size() ? static_cast<uint32_t>(units[2 * k + 1]) : 0;
    out[k] = static_cast<uint8_t>(((ReferenceNibble(high) << 4) | ReferenceNibble(low)) % 256);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t count = data[0] % 64;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  Require(pibgen::ParseDecimal(text) == ReferenceDecimal(text), "ParseDecimal");

  const uint8_t fill = 0xA5;
  std::vector<uint8_t> got(count, fill);
  std::vector<char> ascii;
  bool is_ascii = true;
  for (char c : text) {
    ascii.push_back(c);
    is_ascii = is_ascii && static_cast<unsigned char>(c) < 0x80;
  }
  if (is_ascii) {
    pibgen::HexStringToBytes(std::string_view(text), got.data(), count);
    Require(got == ReferenceHex(ascii, count, fill), "HexStringToBytes over ASCII");
  }

  const std::u16string units = pibgen::Utf8ToUtf16(text);
  std::vector<char16_t> unit_list(units.begin(), units.end());
  got.assign(count, fill);
  pibgen::HexStringToBytes(std::u16string_view(units), got.data(), count);
  Require(got == ReferenceHex(unit_list, count, fill), "HexStringToBytes over UTF-16");
  return 0;
}
