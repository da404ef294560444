#include "check/decimal_text.h"

#include <algorithm>

#include "format/parse_decimal.h"

namespace pibgen {
namespace {

constexpr int64_t kClamp = int64_t{1} << 40;

// Length of the white space character ParseDecimal skips at the start of text, or 0.
size_t LeadingSpaceLength(std::string_view text) {
  const auto c = static_cast<unsigned char>(text[0]);
  if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
  if (c == 0xC2 && text.size() >= 2) {
    const auto next = static_cast<unsigned char>(text[1]);
    if (next == 0x85 || next == 0xA0) return 2;  // U+0085, U+00A0
  }
  return 0;
}

}  // namespace

DecimalText ReadDecimalText(std::string_view text) {
  DecimalText result;
  result.value = ParseDecimal(text);
  size_t skip;
  while (!text.empty() && (skip = LeadingSpaceLength(text)) > 0) text.remove_prefix(skip);
  size_t end = 0;
  bool negative = false;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) negative = text[end++] == '-';
  const size_t digits_begin = end;
  int64_t magnitude = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
    magnitude = std::min(magnitude * 10 + (text[end] - '0'), kClamp);
    ++end;
  }
  result.has_digits = end > digits_begin;
  result.trailing = result.has_digits && end < text.size();
  result.number = negative ? -magnitude : magnitude;
  if (result.has_digits) result.written.assign(text.substr(0, end));
  return result;
}

}  // namespace pibgen
