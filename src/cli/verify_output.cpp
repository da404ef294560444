#include "cli/verify_output.h"

#include "cli/json_text.h"
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
                                     OutputFormat format, TextSink& out)
    : image_(image), layout_(layout), json_(format != OutputFormat::kText), out_(out) {}

void ComparisonPrinter::Begin() {
  if (begun_ || !json_) return;
  begun_ = true;
  text_ = OpenDocument();
  AppendText(text_, "image", image_);
  AppendText(text_, "layout", layout_);
  text_ += ",\"fields\":[";
  out_.Print(text_);
}

void ComparisonPrinter::FieldDiffers(const FieldDifference& difference) {
  if (!json_) {
    out_.Print(ImageLine(image_, MessageText(difference.finding)));
    return;
  }
  Begin();
  const Finding& finding = difference.finding;
  text_ = fields_++ == 0 ? "\n{" : ",\n{";
  AppendNumber(text_, "field", finding.field);
  if (finding.named) {
    AppendText(text_, "name", finding.name);
  } else {
    AppendNull(text_, "name");
  }
  AppendNumber(text_, "offset", difference.offset);
  AppendNumber(text_, "length", difference.length);
  AppendText(text_, "type", difference.type);
  AppendText(text_, "image", difference.image);
  AppendText(text_, "layout", difference.layout);
  AppendNumber(text_, "differing", difference.differing);
  AppendNumber(text_, "first", difference.first);
  AppendText(text_, "message", MessageText(finding));
  text_ += '}';
  out_.Print(text_);
}

void ComparisonPrinter::Finish(const LayoutComparison& result) {
  // The checksum byte's line has the comparison's own wording.
  const auto message = [](const Finding& finding) {
    return finding.code == Code::kChecksumMismatch ? OtherText(finding) : MessageText(finding);
  };
  if (!json_) {
    if (result.refusal) out_.Print(FindingLine(layout_, *result.refusal));
    for (const Finding& finding : result.findings) out_.Print(ImageLine(image_, message(finding)));
    return;
  }
  Begin();
  std::string findings;
  if (result.refusal) {
    AppendFinding(findings, *result.refusal, layout_, MessageText(*result.refusal));
  }
  for (const Finding& finding : result.findings) {
    if (!findings.empty()) findings += ',';
    AppendFinding(findings, finding, image_, message(finding));
  }
  std::string text = "]";
  AppendNumber(text, "layout_bytes", result.layout_length);
  AppendNumber(text, "layout_fields", result.fields);
  AppendOutcome(text, result.opened, result.length, result.has_checksum, result.stored,
                result.computed, findings, result.equal);
  out_.Print(text);
}

}  // namespace pibgen
