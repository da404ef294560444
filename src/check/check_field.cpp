#include "check/check_field.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/nearest_type_name.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"
#include "engine/messages.h"
#include "format/parse_decimal.h"
#include "format/quote_text.h"
#include "format/utf8_to_utf16.h"

namespace pibgen {
namespace {

struct Setting {
  std::string_view name;
  uint32_t Field::*line;
};
constexpr Setting kSettings[] = {
    {"type", &Field::type_line}, {"size", &Field::size_line}, {"value", &Field::value_line}};

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

// The line of a setting's child, or the field's own where it has none.
uint32_t LineOf(const Field& field, uint32_t line) { return line != 0 ? line : field.line; }

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
// decodes it: a lone last character pairs with a zero, and zeros fill the rest.
std::string ShortValueBytes(const FieldEntry& entry, uint64_t size) {
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
  } else if (zeros > 0) {
    text += (text.empty() ? "" : " then ") + std::to_string(zeros) + " zero bytes";
  }
  return text;
}

}  // namespace

void FieldCheck::Begin(const Field& field) {
  label_ = FieldLabel(field.index, field.named, field.name) + ": ";
}

void FieldCheck::Child(const Field& field, std::string_view name, uint32_t line) {
  for (const Setting& setting : kSettings) {
    if (name == setting.name) {
      if (field.*setting.line != 0) {
        Warn(line, "repeated <" + std::string(setting.name) + "> replaces the one on line " +
                       std::to_string(field.*setting.line));
      }
    } else if (EqualsIgnoringCase(name, setting.name)) {
      Warn(line, std::string("<").append(name) + "> is ignored; did you mean <" +
                     std::string(setting.name) + ">?");
    }
  }
}

void FieldCheck::End(const Field& field) {
  const FieldKind kind = field.kind;
  CheckType(field);
  if (IsSized(kind)) CheckSize(field);
  if (IsNumeric(kind)) {
    CheckIgnoredSize(field);
    CheckNumericValue(field);
  }
  // A negative size is already an error; measuring the value against it says nothing more.
  if (kind == FieldKind::kByteArray && field.entry.size >= 0) CheckByteArrayValue(field);
  CheckChecksumOverlap(field);
}

void FieldCheck::Warn(uint32_t line, const std::string& message) {
  findings_.push_back({line, Severity::kWarning, label_ + message});
}

void FieldCheck::CheckType(const Field& field) {
  const FieldEntry& entry = field.entry;
  if (field.type_line == 0) {
    // A negative size is already an error; the field converts to nothing.
    if (field.size_line != 0 && entry.size < 0) return;
    // One warning for the field: a value it drops says more than a size it keeps.
    if (field.value_line != 0 && !entry.value.empty()) {
      Warn(field.line, "<value> without <type>; the field is a zero fill of " +
                           std::to_string(field.length) + " bytes and its value " +
                           QuoteText(entry.value) + " is not written");
    } else if (field.size_line != 0) {
      Warn(field.line,
           "<size> without <type>; written as " + std::to_string(entry.size) + " zero bytes");
    }
    return;
  }
  // A known type's value is checked with it; an unknown one writes no value at all.
  if (TypeNamed(entry.type) != nullptr) return;
  const auto nearest = NearestTypeName(entry.type);
  const bool drops_value = field.value_line != 0 && !entry.value.empty();
  if (!nearest && !drops_value) return;  // a fill meant as one, such as "pad"
  std::string message = "type " + QuoteText(entry.type) +
                        " is unknown, so the field is a zero fill of " +
                        std::to_string(field.length) + " bytes";
  if (drops_value) message += " and its value " + QuoteText(entry.value) + " is not written";
  if (nearest) message += "; did you mean " + QuoteText(*nearest) + "?";
  Warn(LineOf(field, field.type_line), message);
}

void FieldCheck::CheckSize(const Field& field) {
  if (field.size_line == 0) return;
  const uint32_t line = field.size_line;
  if (HasNegativeSize(field.kind, field.entry.size)) {
    Failure rule;
    rule.kind = FailureKind::kNegativeSize;
    rule.field = field.index;
    rule.size = field.entry.size;
    rule.name = field.name;
    rule.named = field.named;
    findings_.push_back({line, Severity::kError, RefusalWords(rule)});
  }
  const std::string& text = field.size_text;
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

// A fixed-width type takes its width whatever the size says.
void FieldCheck::CheckIgnoredSize(const Field& field) {
  if (field.size_line == 0) return;
  const FieldType& type = *TypeNamed(field.entry.type);
  Warn(field.size_line, "<size> is ignored; " + std::string(type.name) + " is always " +
                            std::to_string(type.width) + (type.width == 1 ? " byte" : " bytes"));
}

void FieldCheck::CheckNumericValue(const Field& field) {
  const FieldEntry& entry = field.entry;
  const FieldType& type = *TypeNamed(entry.type);
  if (field.value_line == 0) {
    Warn(field.line,
         std::string(type.name) + " field has no <value>; written as " + WrittenBytes(entry));
    return;
  }
  const uint32_t line = field.value_line;
  const DecimalText value = ReadDecimalText(entry.value);
  if (!value.has_digits) {
    Warn(line,
         "value " + QuoteText(entry.value) + " has no number; written as " + WrittenBytes(entry));
    return;
  }
  if (value.trailing) {
    Warn(line, "value " + QuoteText(entry.value) + " has characters after the number; read as " +
                   std::to_string(value.value));
  }
  if (value.number < type.min || value.number > type.max) {
    Warn(line, "value " + value.written + " is outside " + std::to_string(type.min) + " to " +
                   std::to_string(type.max) + " for " + std::string(type.name) + "; written as " +
                   WrittenBytes(entry));
  }
}

void FieldCheck::CheckByteArrayValue(const Field& field) {
  const FieldEntry& entry = field.entry;
  const uint64_t size = field.length;
  if (field.value_line == 0) {
    if (size > 0) {
      Warn(field.line, std::string(TypeOf(FieldKind::kByteArray)->name) +
                           " field has no <value>; its " + std::to_string(size) +
                           " bytes are zero");
    }
    return;
  }
  const uint32_t line = field.value_line;
  for (char c : entry.value) {
    if (!IsHexDigit(c)) {
      Warn(line, "value " + QuoteText(entry.value) + " has characters that are not hex digits");
      break;
    }
  }
  // The value is decoded by UTF-16 code unit, so that is what its length counts.
  const uint64_t length = Utf8ToUtf16(entry.value).size();
  const uint64_t expected = 2 * size;
  if (length < expected) {
    Warn(line, "value has " + std::to_string(length) + " characters, " + std::to_string(expected) +
                   " expected for size " + std::to_string(size) + "; the image holds " +
                   ShortValueBytes(entry, size));
  } else if (length > expected) {
    Warn(line, "value has " + std::to_string(length) + " characters, " + std::to_string(expected) +
                   " expected for size " + std::to_string(size) + "; the characters past " +
                   std::to_string(expected) + " are ignored");
  }
}

// The checksum byte replaces whatever the field put at its offset. A one-byte field there is
// how a description keeps the place free; a longer field loses one of its bytes.
void FieldCheck::CheckChecksumOverlap(const Field& field) {
  const uint64_t offset = field.offset;
  const uint64_t length = field.length;
  if (length <= 1 || offset > kChecksumOffset || offset + length <= kChecksumOffset) return;
  Warn(field.line, "its byte at offset " + std::to_string(kChecksumOffset) +
                       " is overwritten by the checksum (the field covers offsets " +
                       std::to_string(offset) + " to " + std::to_string(offset + length - 1) + ")");
}

}  // namespace pibgen
