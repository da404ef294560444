#include "engine/set_value.h"

#include <string>

#include "engine/value_rules.h"

namespace pibgen {

bool CheckSetValue(const Field& field, std::string_view value, const ValueSource& source,
                   std::vector<Finding>& findings) {
  const size_t before = findings.size();
  if (field.kind == FieldKind::kFill) {
    Finding fill;
    fill.code = Code::kSetFill;
    fill.values = {std::to_string(field.index)};
    findings.push_back(std::move(fill));
  } else {
    Field given = field;
    given.entry.value = value;
    FindStrictValueProblems(given, findings);
  }
  for (size_t i = before; i < findings.size(); ++i) {
    Finding& finding = findings[i];
    finding.field = field.index;
    finding.named = field.named;
    finding.name = field.name;
    finding.subject = source.subject;
    finding.file = source.file;
    finding.line = source.line;
    finding.refused = true;
  }
  return findings.size() == before;
}

void EncodeSetValue(const Field& field, std::string_view value, FieldBytes& out) {
  FieldEntry entry = field.entry;
  entry.value = value;
  out.Clear();
  WriteField(out, entry, field.kind);
}

}  // namespace pibgen
