#include "format/parse_decimal.h"

#include <algorithm>

namespace pibgen {
namespace {

// Length of the white space character at the start of text, or 0.
size_t LeadingSpaceLength(std::string_view text) {
  const auto c = static_cast<unsigned char>(text[0]);
  if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
  // U+0085 and U+00A0 in UTF-8.
  if (c == 0xC2 && text.size() >= 2) {
    const auto next = static_cast<unsigned char>(text[1]);
    if (next == 0x85 || next == 0xA0) return 2;
  }
  return 0;
}

std::string_view SkipLeadingSpace(std::string_view text) {
  size_t skip;
  while (!text.empty() && (skip = LeadingSpaceLength(text)) > 0) text.remove_prefix(skip);
  return text;
}

}  // namespace

int32_t ParseDecimal(std::string_view text) {
  // Most values start with their first digit; short ones cannot overflow.
  if (!text.empty() && text.size() <= 9 && text[0] >= '0' && text[0] <= '9') {
    int32_t value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') break;
      value = value * 10 + (c - '0');
    }
    return value;
  }
  text = SkipLeadingSpace(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }

  // Accumulate the magnitude, stopping once it passes what any 32-bit result can hold.
  constexpr int64_t kLimit = int64_t{1} << 31;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) magnitude = kLimit + 1;
  }
  if (negative) return magnitude >= kLimit ? INT32_MIN : static_cast<int32_t>(-magnitude);
  return magnitude >= kLimit ? INT32_MAX : static_cast<int32_t>(magnitude);
}

DecimalText ReadDecimalText(std::string_view text) {
  constexpr int64_t kClamp = int64_t{1} << 40;
  DecimalText result;
  result.value = ParseDecimal(text);
  text = SkipLeadingSpace(text);
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
