#include "check/check_description.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "check/check_field.h"
#include "check/describe_read_failure.h"
#include "check/finding.h"
#include "convert/structure_rules.h"
#include "xml/read_description.h"

namespace pibgen {
namespace {

// Checks the fields as they are read. A field's findings all lie within its own lines;
// sorting them by line puts a field-wide finding (reported at the field's first line)
// before those of its children. They are kept until the end: a description that does not
// load gets only that one finding.
class DescriptionCheck final : public xml::DescriptionHandler {
 public:
  bool Root(std::string_view, std::span<const xml::Attribute>, uint32_t) override { return true; }
  bool BeginField(uint32_t index, std::string_view, std::span<const xml::Attribute> attributes,
                  uint32_t line) override {
    field_start_ = findings.size();
    field_.Begin(index, attributes, line);
    return true;
  }
  bool FieldChild(xml::NodeKind, std::string_view name, std::string_view text,
                  uint32_t line) override {
    field_.Child(name, text, line);
    return true;
  }
  bool EndField() override {
    offset_ += field_.End(offset_);
    std::stable_sort(findings.begin() + static_cast<ptrdiff_t>(field_start_), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return true;
  }
  bool OtherRootChild(uint32_t index, xml::NodeKind kind, uint32_t line) override {
    findings.push_back({line, Severity::kError,
                        NotAnElement(index, kind) + "; the conversion refuses the description"});
    return true;
  }

  std::vector<Finding> findings;

 private:
  FieldCheck field_{findings};
  size_t field_start_ = 0;
  uint64_t offset_ = 0;
};

// Prints the findings and counts them.
void Report(const std::string& path, const std::vector<Finding>& findings, CheckSummary& summary,
            TextSink& out) {
  std::string line;
  for (const Finding& finding : findings) {
    line = path;
    if (finding.line > 0) {
      line += ':';
      line += std::to_string(finding.line);
    }
    if (finding.severity == Severity::kError) {
      line += ": error: ";
      ++summary.errors;
    } else {
      line += ": warning: ";
      ++summary.warnings;
    }
    line += finding.message;
    line += '\n';
    out.Print(line);
  }
}

}  // namespace

CheckSummary CheckDescription(const std::string& path, file::FileSystem& file_system,
                              TextSink& out) {
  CheckSummary summary;
  DescriptionCheck check;
  if (const std::unique_ptr<file::SourceFile> input = file_system.OpenSource(path, nullptr)) {
    const xml::ReadResult read = xml::ReadDescription(*input, check);
    if (!read.ok()) check.findings = {DescribeReadFailure(read)};
  } else {
    check.findings = {{0, Severity::kError, "cannot read the description"}};
  }
  Report(path, check.findings, summary, out);
  out.Print(std::to_string(summary.warnings) + " warnings, " + std::to_string(summary.errors) +
            " errors\n");
  return summary;
}

}  // namespace pibgen
