#include "check/check_field.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/decimal_text.h"
#include "check/nearest_type_name.h"
#include "check/quote_text.h"
#include "format/hex_string_to_bytes.h"
#include "format/field_types.h"
#include "format/utf8_to_utf16.h"
#include "convert/write_checksum_and_close.h"
#include "format/write_field.h"
#include "convert/structure_rules.h"

namespace pibgen {
namespace {

constexpr std::array<std::string_view, 3> kSettingNames = {"type", "size", "value"};
constexpr size_t kType = 0;
constexpr size_t kSize = 1;
constexpr size_t kValue = 2;

// The numbers a numeric type writes faithfully. System.UInt32 is written like System.Int32,
// saturated to 2147483647.
struct NumericType {
  std::string_view name;
  int64_t min;
  int64_t max;
};
constexpr NumericType kNumericTypes[] = {
    {"System.UInt16", 0, 65535},
    {"System.Byte", 0, 255},
    {"System.UInt32", 0, INT32_MAX},
    {"System.Int32", INT32_MIN, INT32_MAX},
};

const NumericType* FindNumericType(std::string_view type) {
  for (const NumericType& numeric : kNumericTypes) {
    if (numeric.name == type) return &numeric;
  }
  return nullptr;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string HexByte(uint8_t byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// The bytes a numeric field writes for value, as they appear in the image.
std::string WrittenBytes(int32_t value, uint64_t width) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  const auto bits = static_cast<uint32_t>(value);
  std::string out;
  for (uint64_t i = 0; i < width; ++i) {
    const auto byte = static_cast<uint8_t>(bits >> (8 * i));
    if (i > 0) out += ' ';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

}  // namespace

void FieldCheck::Begin(uint32_t index, std::span<const xml::Attribute> attributes, uint32_t line) {
  line_ = line;
  label_ = "field " + std::to_string(index);
  for (const xml::Attribute& attribute : attributes) {
    if (attribute.name == "name") {
      label_ += " (" + QuoteText(attribute.value) + ")";
      break;
    }
  }
  label_ += ": ";
  collector_.Begin();
  size_text_.clear();
  lines_ = {};
}

void FieldCheck::Child(std::string_view name, std::string_view text, uint32_t line) {
  collector_.Add(name, text, nullptr);
  if (name == "size") size_text_.assign(text);
  for (size_t s = 0; s < kSettingNames.size(); ++s) {
    const std::string_view setting = kSettingNames[s];
    if (name == setting) {
      if (lines_[s]) {
        Warn(line, "repeated <" + std::string(setting) + "> replaces the one on line " +
                       std::to_string(*lines_[s]));
      }
      lines_[s] = line;
    } else if (EqualsIgnoringCase(name, setting)) {
      Warn(line, std::string("<").append(name) + "> is ignored; did you mean <" +
                     std::string(setting) + ">?");
    }
  }
}

uint64_t FieldCheck::End(uint64_t offset) {
  const FieldEntry& entry = collector_.Entry();
  CheckType();
  if (IsSizedField(entry)) CheckSize();
  if (const NumericType* numeric = FindNumericType(entry.type)) {
    CheckNumericValue(numeric->name, numeric->min, numeric->max);
  }
  // A negative size is already an error; measuring the value against it says nothing more.
  if (entry.type == kByteArrayType && entry.size >= 0) CheckByteArrayValue();
  const uint64_t length = FieldLength(entry);
  CheckChecksumOverlap(offset, length);
  return length;
}

void FieldCheck::Warn(uint32_t line, const std::string& message) {
  findings_.push_back({line, Severity::kWarning, label_ + message});
}

uint32_t FieldCheck::LineOf(size_t setting) const { return lines_[setting].value_or(line_); }

void FieldCheck::CheckType() {
  if (!lines_[kType]) {
    if (lines_[kSize] && entry().size >= 0) {
      Warn(line_,
           "<size> without <type>; written as " + std::to_string(entry().size) + " zero bytes");
    }
    return;
  }
  // A known type's value is checked with it; an unknown one writes no value at all.
  if (IsKnownType(entry().type)) return;
  const auto nearest = NearestTypeName(entry().type);
  const bool drops_value = lines_[kValue] && !entry().value.empty();
  if (!nearest && !drops_value) return;  // a fill meant as one, such as "pad"
  std::string message = "type " + QuoteText(entry().type) +
                        " is unknown, so the field is a zero fill of " +
                        std::to_string(FieldLength(entry())) + " bytes";
  if (drops_value) message += " and its value " + QuoteText(entry().value) + " is not written";
  if (nearest) message += "; did you mean " + QuoteText(*nearest) + "?";
  Warn(LineOf(kType), message);
}

void FieldCheck::CheckSize() {
  if (!lines_[kSize]) return;
  const uint32_t line = LineOf(kSize);
  if (HasNegativeSize(entry().type, entry().size)) {
    findings_.push_back({line, Severity::kError,
                         label_ + "negative size (" + std::to_string(entry().size) +
                             "); the conversion refuses the description"});
  }
  const std::string& text = size_text_;
  const DecimalText size = ReadDecimalText(text);
  if (!size.has_digits) {
    Warn(line, "size " + QuoteText(text) + " has no number; read as 0");
    return;
  }
  if (size.trailing) {
    Warn(line, "size " + QuoteText(text) + " has characters after the number; read as " +
                   std::to_string(size.value));
  }
  if (size.number > INT32_MAX) {
    Warn(line, "size " + size.written + " is outside 0 to " + std::to_string(INT32_MAX) +
                   "; read as " + std::to_string(size.value));
  }
}

void FieldCheck::CheckNumericValue(std::string_view type, int64_t min, int64_t max) {
  const uint64_t width = FieldLength(entry());
  if (!lines_[kValue]) {
    Warn(line_, std::string(type) + " field has no <value>; written as " + WrittenBytes(0, width));
    return;
  }
  const uint32_t line = LineOf(kValue);
  const DecimalText value = ReadDecimalText(entry().value);
  if (!value.has_digits) {
    Warn(line, "value " + QuoteText(entry().value) + " has no number; written as " +
                   WrittenBytes(0, width));
    return;
  }
  if (value.trailing) {
    Warn(line, "value " + QuoteText(entry().value) + " has characters after the number; read as " +
                   std::to_string(value.value));
  }
  if (value.number < min || value.number > max) {
    Warn(line, "value " + value.written + " is outside " + std::to_string(min) + " to " +
                   std::to_string(max) + " for " + std::string(type) + "; written as " +
                   WrittenBytes(value.value, width));
  }
}

void FieldCheck::CheckByteArrayValue() {
  const uint64_t size = FieldLength(entry());
  if (!lines_[kValue]) {
    if (size > 0) {
      Warn(line_, std::string(kByteArrayType) + " field has no <value>; its " +
                      std::to_string(size) + " bytes are zero");
    }
    return;
  }
  const uint32_t line = LineOf(kValue);
  for (char c : entry().value) {
    if (!IsHexDigit(c)) {
      Warn(line, "value " + QuoteText(entry().value) + " has characters that are not hex digits");
      break;
    }
  }
  // The value is decoded by UTF-16 code unit, so that is what its length counts.
  const uint64_t length = Utf8ToUtf16(entry().value).size();
  const uint64_t expected = 2 * size;
  if (length < expected) {
    Warn(line, "value has " + std::to_string(length) + " characters, " + std::to_string(expected) +
                   " expected for size " + std::to_string(size) + "; the image holds " +
                   ShortValueBytes(size));
  } else if (length > expected) {
    Warn(line, "value has " + std::to_string(length) + " characters, " + std::to_string(expected) +
                   " expected for size " + std::to_string(size) + "; the characters past " +
                   std::to_string(expected) + " are ignored");
  }
}

// What the image holds for a value shorter than its size, decoded as the conversion decodes
// it: a lone last character pairs with a zero, and zeros fill the rest.
std::string FieldCheck::ShortValueBytes(uint64_t size) const {
  const std::u16string units = Utf8ToUtf16(entry().value);
  std::vector<uint8_t> decoded((units.size() + 1) / 2, 0);
  HexStringToBytes(std::u16string_view(units), decoded.data(), decoded.size());
  // A long value is shown by its first and last bytes.
  constexpr size_t kShown = 8;
  std::string text;
  for (size_t k = 0; k < decoded.size(); ++k) {
    if (decoded.size() > kShown && k == kShown - 2) {
      text += " ...";
      k = decoded.size() - 2;
    }
    if (!text.empty()) text += ' ';
    text += HexByte(decoded[k]);
  }
  const uint64_t zeros = size - decoded.size();
  if (zeros > 0 && zeros <= 4 && decoded.size() + zeros <= kShown) {
    for (uint64_t k = 0; k < zeros; ++k) text += text.empty() ? "00" : " 00";
  } else if (zeros > 0) {
    text += (text.empty() ? "" : " then ") + std::to_string(zeros) + " zero bytes";
  }
  return text;
}

// The checksum byte replaces whatever the field put at its offset. A one-byte field there is
// how a description keeps the place free; a longer field loses one of its bytes.
void FieldCheck::CheckChecksumOverlap(uint64_t offset, uint64_t length) {
  if (length <= 1 || offset > kChecksumOffset || offset + length <= kChecksumOffset) return;
  Warn(line_, "its byte at offset " + std::to_string(kChecksumOffset) +
                  " is overwritten by the checksum (the field covers offsets " +
                  std::to_string(offset) + " to " + std::to_string(offset + length - 1) + ")");
}

}  // namespace pibgen
