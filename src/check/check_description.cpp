#include "check/check_description.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "check/check_field.h"
#include "check/describe_load_error.h"
#include "check/finding.h"
#include "conversion/describe_node_kind.h"
#include "xml/dom_document.h"

namespace pibgen {
namespace {

std::vector<Finding> Load(const std::string& path, file::FileSystem& file_system,
                          std::unique_ptr<xml::DomDocument>& document) {
  const std::unique_ptr<file::SourceFile> input = file_system.OpenSource(path, nullptr);
  if (!input) return {{0, Severity::kError, "cannot read the description"}};
  xml::LoadError error;
  document = xml::DomDocument::Load(
      [&input](char* buffer, size_t capacity) { return input->Read(buffer, capacity); }, &error);
  if (document) return {};
  return {{error.line, Severity::kError, DescribeLoadError(error)}};
}

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

// Reports field by field, so a huge description never holds all its findings at once. A
// field's findings all lie within its own lines; sorting them by line puts a field-wide
// finding (reported at the field's first line) before those of its children.
void CheckFields(const std::string& path, const xml::DomDocument& document, CheckSummary& summary,
                 TextSink& out) {
  std::vector<Finding> findings;
  const xml::DomNodeList fields = document.DocumentElement().ChildNodes();
  uint64_t offset = 0;
  for (size_t i = 0; i < fields.Length(); ++i) {
    const xml::DomNode field = fields.Item(i);
    findings.clear();
    if (field.IsElement()) {
      offset += CheckField(field, i + 1, offset, findings);
    } else {
      findings.push_back({field.Line(), Severity::kError,
                          "field " + std::to_string(i + 1) + " is " +
                              DescribeNodeKind(field.Kind()) +
                              ", not an element; the conversion refuses the description"});
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    Report(path, findings, summary, out);
  }
}

}  // namespace

CheckSummary CheckDescription(const std::string& path, file::FileSystem& file_system,
                              TextSink& out) {
  CheckSummary summary;
  std::unique_ptr<xml::DomDocument> document;
  Report(path, Load(path, file_system, document), summary, out);
  if (document) CheckFields(path, *document, summary, out);
  out.Print(std::to_string(summary.warnings) + " warnings, " + std::to_string(summary.errors) +
            " errors\n");
  return summary;
}

}  // namespace pibgen
