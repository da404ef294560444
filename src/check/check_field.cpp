#include "check/check_field.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/nearest_type_name.h"
#include "engine/catalogue.h"
#include "engine/value_rules.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"
#include "format/parse_decimal.h"
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

}  // namespace

void FieldCheck::Begin(const Field& field) {
  field_.field = field.index;
  field_.named = field.named;
  field_.name = field.name;
}

void FieldCheck::Child(const Field& field, std::string_view name, uint32_t line) {
  for (const Setting& setting : kSettings) {
    if (name == setting.name) {
      if (field.*setting.line != 0) {
        Report(line, Code::kRepeatedChild,
               {std::string(setting.name), std::to_string(field.*setting.line)});
      }
    } else if (EqualsIgnoringCase(name, setting.name)) {
      Report(line, Code::kChildNameCase, {std::string(name), std::string(setting.name)});
    }
  }
}

void FieldCheck::End(const Field& field) {
  const FieldKind kind = field.kind;
  CheckType(field);
  if (IsSized(kind)) CheckSize(field);
  if (IsNumeric(kind)) CheckIgnoredSize(field);
  // A negative size is already an error; measuring the value against it says nothing more.
  if (kind != FieldKind::kByteArray || field.entry.size >= 0) {
    const size_t first = findings_.size();
    FindValueProblems(field, findings_);
    for (size_t i = first; i < findings_.size(); ++i) {
      Finding& finding = findings_[i];
      finding.field = field_.field;
      finding.named = field_.named;
      finding.name = field_.name;
    }
  }
  CheckChecksumOverlap(field);
}

void FieldCheck::Report(uint32_t line, Code code, std::vector<std::string> values) {
  Finding finding = field_;
  finding.code = code;
  finding.line = line;
  finding.values = std::move(values);
  findings_.push_back(std::move(finding));
}

void FieldCheck::CheckType(const Field& field) {
  const FieldEntry& entry = field.entry;
  if (field.type_line == 0) {
    // A negative size is already an error; the field converts to nothing.
    if (field.size_line != 0 && entry.size < 0) return;
    // One warning for the field: a value it drops says more than a size it keeps.
    if (field.value_line != 0 && !entry.value.empty()) {
      Report(field.line, Code::kValueWithoutType, {std::to_string(field.length), entry.value});
    } else if (field.size_line != 0) {
      Report(field.line, Code::kSizeWithoutType, {std::to_string(entry.size)});
    }
    return;
  }
  // A known type's value is checked with it; an unknown one writes no value at all.
  if (TypeNamed(entry.type) != nullptr) return;
  const auto nearest = NearestTypeName(entry.type);
  const bool drops_value = field.value_line != 0 && !entry.value.empty();
  if (!nearest && !drops_value) return;  // a fill meant as one, such as "pad"
  Report(LineOf(field, field.type_line), Code::kUnknownType,
         {entry.type, std::to_string(field.length), drops_value ? entry.value : "",
          nearest ? std::string(*nearest) : ""});
}

void FieldCheck::CheckSize(const Field& field) {
  if (field.size_line == 0) return;
  const uint32_t line = field.size_line;
  if (HasNegativeSize(field.kind, field.entry.size)) {
    Report(line, Code::kNegativeSize, {std::to_string(field.entry.size)});
  }
  const std::string& text = field.size_text;
  const DecimalText size = ReadDecimalText(text);
  if (!size.has_digits) {
    Report(line, Code::kSizeNotANumber, {text});
    return;
  }
  if (size.trailing) {
    Report(line, Code::kSizeTrailingCharacters, {text, std::to_string(size.value)});
  }
  if (size.number > INT32_MAX) {
    Report(line, Code::kSizeOutOfRange,
           {size.written, std::to_string(INT32_MAX), std::to_string(size.value)});
  }
}

// A fixed-width type takes its width whatever the size says.
void FieldCheck::CheckIgnoredSize(const Field& field) {
  if (field.size_line == 0) return;
  const FieldType& type = *TypeNamed(field.entry.type);
  Report(field.size_line, Code::kSizeIgnored, {std::string(type.name), std::to_string(type.width)});
}

// The checksum byte replaces whatever the field put at its offset. A one-byte field there is
// how a description keeps the place free; a longer field loses one of its bytes.
void FieldCheck::CheckChecksumOverlap(const Field& field) {
  const uint64_t offset = field.offset;
  const uint64_t length = field.length;
  if (length <= 1 || offset > kChecksumOffset || offset + length <= kChecksumOffset) return;
  Report(field.line, Code::kChecksumOverlap,
         {std::to_string(kChecksumOffset), std::to_string(offset),
          std::to_string(offset + length - 1)});
}

}  // namespace pibgen
