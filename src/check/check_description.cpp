#include "check/check_description.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/check_field.h"
#include "engine/catalogue.h"
#include "engine/read_fields.h"

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

 private:
  FieldCheck field_{findings};
  size_t field_start_ = 0;
};

}  // namespace

CheckResult CheckDescription(const std::string& path, file::FileSystem& file_system) {
  DescriptionCheck check;
  const Failure failure = ReadFields(path, file_system, check);
  if (failure.kind == FailureKind::kLoad) check.findings = {FindingOf(failure)};
  CheckResult result;
  for (const Finding& finding : check.findings) {
    ++(RowOf(finding.code).severity == Severity::kError ? result.errors : result.warnings);
  }
  result.findings = std::move(check.findings);
  return result;
}

}  // namespace pibgen
