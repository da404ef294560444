#include "engine/value_rules.h"

#include <cstdint>
#include <string>
#include <vector>

#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"
#include "format/parse_decimal.h"
#include "format/utf8_to_utf16.h"

namespace pibgen {
namespace {

// The bytes a field writes, as they appear in the image: "01 00".
std::string WrittenBytes(const FieldEntry& entry) {
  FieldBytes written;
  WriteField(written, entry);
  written.bytes.resize(static_cast<size_t>(written.bytes.size() + written.zeros), 0);
  std::string text;
  AppendHex(text, written.bytes.data(), written.bytes.size(), ' ');
  return text;
}

// What the image holds for a Byte[] value shorter than its size, decoded as the conversion
// decodes it: a lone last character pairs with a zero, and zeros fill the rest. The bytes
// shown, and the count of zeros after them when they are too many to show.
std::vector<std::string> ShortValueBytes(const FieldEntry& entry, uint64_t size) {
  FieldBytes decoded;
  WriteField(decoded, entry);
  const std::vector<uint8_t>& bytes = decoded.bytes;
  // A long value is shown by its first and last bytes.
  constexpr size_t kShown = 8;
  std::string text;
  for (size_t k = 0; k < bytes.size(); ++k) {
    if (bytes.size() > kShown && k == kShown - 2) {
      text += " ...";
      k = bytes.size() - 2;
    }
    if (!text.empty()) text += ' ';
    text += HexByte(bytes[k]);
  }
  const uint64_t zeros = size - bytes.size();
  if (zeros > 0 && zeros <= 4 && bytes.size() + zeros <= kShown) {
    for (uint64_t k = 0; k < zeros; ++k) text += text.empty() ? "00" : " 00";
    return {text, ""};
  }
  return {text, zeros > 0 ? std::to_string(zeros) : ""};
}

// Appends one finding: where, what, and the values its wording takes.
struct Report {
  std::vector<Finding>& findings;
  void operator()(uint32_t line, Code code, std::vector<std::string> values) const {
    Finding finding;
    finding.code = code;
    finding.line = line;
    finding.values = std::move(values);
    findings.push_back(std::move(finding));
  }
};

void NumericValue(const Field& field, Report report) {
  const FieldEntry& entry = field.entry;
  const FieldType& type = *TypeNamed(entry.type);
  if (field.value_line == 0) {
    report(field.line, Code::kMissingValue, {std::string(type.name), WrittenBytes(entry)});
    return;
  }
  const uint32_t line = field.value_line;
  const DecimalText value = ReadDecimalText(entry.value);
  if (!value.has_digits) {
    report(line, Code::kValueNotANumber, {entry.value, WrittenBytes(entry)});
    return;
  }
  if (value.trailing) {
    report(line, Code::kValueTrailingCharacters, {entry.value, std::to_string(value.value)});
  }
  if (value.number < type.min || value.number > type.max) {
    report(line, Code::kValueOutOfRange,
           {value.written, std::to_string(type.min), std::to_string(type.max),
            std::string(type.name), WrittenBytes(entry)});
  }
}

void ByteArrayValue(const Field& field, Report report) {
  const FieldEntry& entry = field.entry;
  const uint64_t size = field.length;
  if (field.value_line == 0) {
    if (size > 0) {
      report(field.line, Code::kMissingBytes,
             {std::string(TypeOf(FieldKind::kByteArray)->name), std::to_string(size)});
    }
    return;
  }
  const uint32_t line = field.value_line;
  for (char c : entry.value) {
    if (!IsHexDigit(c)) {
      report(line, Code::kNotHexDigits, {entry.value});
      break;
    }
  }
  // The value is decoded by UTF-16 code unit, so that is what its length counts.
  const uint64_t length = Utf8ToUtf16(entry.value).size();
  const uint64_t expected = 2 * size;
  if (length < expected) {
    std::vector<std::string> values = {std::to_string(length), std::to_string(expected),
                                       std::to_string(size)};
    for (std::string& part : ShortValueBytes(entry, size)) values.push_back(std::move(part));
    report(line, Code::kValueTooShort, std::move(values));
  } else if (length > expected) {
    report(line, Code::kValueTooLong,
           {std::to_string(length), std::to_string(expected), std::to_string(size)});
  }
}

// Decimal digits alone, after one minus sign where the type takes negative numbers.
bool PlainDigits(std::string_view text, bool sign_allowed) {
  if (sign_allowed && !text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

void FindValueProblems(const Field& field, std::vector<Finding>& findings) {
  if (IsNumeric(field.kind)) NumericValue(field, Report{findings});
  if (field.kind == FieldKind::kByteArray) ByteArrayValue(field, Report{findings});
}

void FindStrictValueProblems(const Field& field, std::vector<Finding>& findings) {
  const size_t before = findings.size();
  FindValueProblems(field, findings);
  if (findings.size() != before || !IsNumeric(field.kind)) return;
  const FieldType& type = *TypeOf(field.kind);
  const bool sign_allowed = type.min < 0;
  if (PlainDigits(field.entry.value, sign_allowed)) return;
  Report{findings}(field.value_line != 0 ? field.value_line : field.line,
                   Code::kValueNotPlainDigits,
                   {field.entry.value, sign_allowed ? std::string(type.name) : ""});
}

}  // namespace pibgen
