#include "cli/verify_output.h"

#include "cli/json_text.h"
#include "format/checksum.h"
#include "format/hex.h"

namespace pibgen {
namespace {

std::string ImageLine(const std::string& image, std::string_view message) {
  return image + ": " + std::string(message) + "\n";
}

// "bytes", "checksum" and then "findings" and "ok", closing the document.
void AppendOutcome(std::string& text, bool read, uint64_t length, bool has_checksum, uint8_t stored,
                   uint8_t computed, const std::string& findings, bool ok) {
  if (read) {
    AppendNumber(text, "bytes", length);
  } else {
    AppendNull(text, "bytes");
  }
  if (has_checksum) {
    text += ",\"checksum\":{";
    AppendText(text, "stored", HexByte(stored));
    AppendText(text, "computed", HexByte(computed));
    AppendBool(text, "ok", stored == computed);
    text += '}';
  } else {
    AppendNull(text, "checksum");
  }
  text += ",\"findings\":[" + findings + "]";
  AppendBool(text, "ok", ok);
  text += "}\n";
}

}  // namespace

void PrintChecksum(const std::string& image, const ChecksumResult& result, OutputFormat format,
                   TextSink& out) {
  const std::string message = MessageText(result.outcome);
  if (format == OutputFormat::kText) {
    out.Print(ImageLine(image, message));
    return;
  }
  std::string text = OpenDocument();
  AppendText(text, "image", image);
  std::string findings;
  AppendFinding(findings, result.outcome, image, message);
  AppendOutcome(text, result.read, result.length, result.has_checksum, result.stored,
                result.computed, findings, result.Passed());
  out.Print(text);
}

ComparisonPrinter::ComparisonPrinter(const std::string& image, const std::string& layout,
                                     OutputFormat format, TextSink& out,
                                     std::unique_ptr<file::ImageFile> scratch)
    : image_(image),
      layout_(layout),
      json_(format != OutputFormat::kText),
      out_(out),
      after_(std::move(scratch)) {}

std::string ComparisonPrinter::Entry(const FieldDifference& difference) const {
  const Finding& finding = difference.finding;
  if (!json_) return ImageLine(image_, MessageText(finding));
  std::string text = "{";
  AppendNumber(text, "field", finding.field);
  if (finding.named) {
    AppendText(text, "name", finding.name);
  } else {
    AppendNull(text, "name");
  }
  AppendNumber(text, "offset", difference.offset);
  AppendNumber(text, "length", difference.length);
  AppendText(text, "type", difference.type);
  AppendText(text, "image", difference.image);
  AppendText(text, "layout", difference.layout);
  AppendNumber(text, "differing", difference.differing);
  AppendNumber(text, "first", difference.first);
  AppendText(text, "message", MessageText(finding));
  text += '}';
  return text;
}

void ComparisonPrinter::FieldDiffers(const FieldDifference& difference) {
  const uint64_t end = difference.offset + difference.length;
  if (end <= kChecksumOffset) {
    before_.push_back(Entry(difference));
  } else if (difference.offset <= kChecksumOffset) {
    over_ = Entry(difference);
  } else {
    // As JSON, each entry after the first is preceded by a comma.
    if (json_) after_.Print(any_after_ ? ",\n" : "\n");
    after_.Print(Entry(difference));
    any_after_ = true;
  }
}

bool ComparisonPrinter::Finish(const LayoutComparison& result) {
  // The checksum byte's line has the comparison's own wording.
  const auto message = [](const Finding& finding) {
    return finding.code == Code::kChecksumMismatch ? OtherText(finding) : MessageText(finding);
  };
  std::vector<Finding> findings = result.findings;
  // The fields are about the layout only if it was read whole, unchanged.
  const bool fields =
      !result.refusal && (findings.empty() || findings.back().code != Code::kLayoutChanged);
  Finding unheld;
  unheld.code = Code::kCannotHoldOutput;
  const bool held = !after_.Failed();
  if (fields && !held) findings.insert(findings.begin(), unheld);
  std::string text;
  if (json_) {
    text = OpenFieldsDocument(image_, layout_);
  }
  size_t listed = 0;
  if (fields) {
    std::vector<std::string> entries = std::move(before_);
    if (!over_.empty()) entries.push_back(std::move(over_));
    for (const std::string& entry : entries) {
      if (json_) text += listed++ == 0 ? "\n" : ",\n";
      text += entry;
    }
  }
  bool printed = true;
  if (fields && held && any_after_) {
    if (json_ && listed > 0) text += ',';
    out_.Print(text);
    text.clear();
    if (!after_.Publish(out_)) {
      out_.Print(ImageLine(image_, MessageText(unheld)));
      printed = false;
    }
  }
  if (!json_) {
    if (result.refusal) text += FindingLine(layout_, *result.refusal);
    for (const Finding& finding : findings) text += ImageLine(image_, message(finding));
    out_.Print(text);
    return printed && held;
  }
  std::string listed_findings;
  if (result.refusal) {
    AppendFinding(listed_findings, *result.refusal, layout_, MessageText(*result.refusal));
  }
  for (const Finding& finding : findings) {
    if (!listed_findings.empty()) listed_findings += ',';
    AppendFinding(listed_findings, finding, image_, message(finding));
  }
  text += "]";
  AppendNumber(text, "layout_bytes", result.layout_length);
  AppendNumber(text, "layout_fields", result.fields);
  AppendOutcome(text, result.opened, result.length, result.has_checksum, result.stored,
                result.computed, listed_findings, result.equal && held);
  out_.Print(text);
  return printed && held;
}

}  // namespace pibgen
