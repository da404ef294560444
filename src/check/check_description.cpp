#include "check/check_description.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/check_field.h"
#include "engine/catalogue.h"
#include "engine/named_fields.h"
#include "engine/path_pattern.h"
#include "engine/read_fields.h"
#include "engine/unit_rows.h"

namespace pibgen {
namespace {

// Checks the fields as they are read. A field's findings all lie within its own lines;
// sorting them by line puts a field-wide finding (reported at the field's first line)
// before those of its children. They are kept until the end: a description that does not
// load gets only that one finding.
class DescriptionCheck final : public FieldHandler {
 public:
  bool BeginField(const Field& field, std::string_view, std::span<const xml::Attribute>,
                  std::span<const xml::Namespace>) override {
    field_start_ = findings.size();
    field_.Begin(field);
    return true;
  }
  bool Child(const Field& field, std::string_view name, std::string_view, uint32_t line) override {
    field_.Child(field, name, line);
    return true;
  }
  bool EndField(const Field& field) override {
    named.Saw(field);
    field_.End(field);
    std::stable_sort(findings.begin() + static_cast<ptrdiff_t>(field_start_), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return true;
  }
  // A negative size is reported with the rest of its field's findings, by FieldCheck.
  bool Broken(const Failure& rule) override {
    if (rule.kind == FailureKind::kNotAnElement) {
      findings.push_back(FindingOf(rule));
    }
    return true;
  }

  std::vector<Finding> findings;
  NamedFields named;  // the fields a unit table's columns name

 private:
  FieldCheck field_{findings};
  size_t field_start_ = 0;
};

// The table's header against the fields, then every row: its values, its path cells and the
// path formed, and one destination shared by two rows.
void CheckRows(UnitRows& rows, const NamedFields& named, const PathPattern* pattern,
               std::vector<Finding>& findings) {
  rows.Bind(named, pattern, {}, findings);
  if (!findings.empty()) return;
  DestinationSet destinations;
  Unit unit;
  uint64_t units = 0;
  while (rows.Next(unit, findings)) {
    ++units;
    if (!rows.Check(unit, findings) || pattern == nullptr || !pattern->HasPlaceholder()) continue;
    if (const uint32_t line = destinations.Add(unit.path, unit.line)) {
      Finding finding;
      finding.code = Code::kDestinationRepeated;
      finding.file = rows.Path();
      finding.line = unit.line;
      finding.values = {unit.path, std::to_string(line)};
      findings.push_back(std::move(finding));
    }
  }
  if (pattern != nullptr && units > 1 && !pattern->HasPlaceholder()) {
    Finding finding;
    finding.code = Code::kPatternFixed;
    finding.file = rows.Path();
    finding.values = {pattern->Text(), std::to_string(units)};
    findings.push_back(std::move(finding));
  }
}

}  // namespace

CheckResult CheckDescription(const std::string& path, file::FileSystem& file_system,
                             const std::optional<UnitsToCheck>& units) {
  DescriptionCheck check;
  UnitRows rows;
  PathPattern pattern;
  std::vector<Finding> table;  // what the table's header or the pattern refuses
  bool table_open = false;
  if (units) {
    Finding problem;
    table_open = rows.Open(units->table, file_system, &problem);
    if (table_open) {
      rows.WantColumns(check.named);
    } else {
      table.push_back(problem);
    }
    if (units->pattern && !pattern.Parse(*units->pattern, &problem)) {
      table.push_back(problem);
    } else if (units->pattern && table_open && !pattern.Bind(rows.Header(), &problem)) {
      table.push_back(problem);
    }
  }
  const Failure failure = ReadFields(path, file_system, check);
  if (failure.kind == FailureKind::kLoad) {
    check.findings = {FindingOf(failure)};
  } else if (units) {
    check.findings.insert(check.findings.end(), table.begin(), table.end());
    if (table_open && table.empty()) {
      CheckRows(rows, check.named, units->pattern ? &pattern : nullptr, check.findings);
    }
  }
  CheckResult result;
  for (const Finding& finding : check.findings) {
    ++(SeverityOf(finding) == Severity::kError ? result.errors : result.warnings);
  }
  result.findings = std::move(check.findings);
  return result;
}

}  // namespace pibgen
