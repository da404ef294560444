#include "cli/check_output.h"

#include "cli/json_text.h"
#include "engine/version.h"

namespace pibgen {
namespace {

void PrintText(const std::string& path, const CheckResult& result, TextSink& out) {
  for (const Finding& finding : result.findings) {
    out.Print(FindingLine(finding.file.empty() ? path : finding.file, finding));
  }
  Finding summary;
  summary.code = Code::kCheckSummary;
  summary.values = {std::to_string(result.warnings), std::to_string(result.errors)};
  out.Print(MessageText(summary) + "\n");
}

void PrintJson(const std::string& path, const CheckResult& result, TextSink& out) {
  std::string text = OpenDocument();
  AppendText(text, "file", path);
  text += ",\"findings\":[";
  out.Print(text);
  bool first = true;
  for (const Finding& finding : result.findings) {
    text = first ? "\n" : ",\n";
    first = false;
    AppendFinding(text, finding, finding.file.empty() ? path : finding.file, MessageText(finding));
    out.Print(text);
  }
  text.assign(1, ']');
  AppendNumber(text, "warnings", result.warnings);
  AppendNumber(text, "errors", result.errors);
  out.Print(text + "}\n");
}

// A path as a URI reference: every byte but the unreserved ones and '/' percent-encoded, a
// Windows '\' taken as '/'.
std::string PathUri(const std::string& path) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == '/') {
      uri += c;
    } else if (c == '\\') {
      uri += '/';
    } else {
      uri += '%';
      uri += kDigits[byte >> 4];
      uri += kDigits[byte & 15];
    }
  }
  return uri;
}

void PrintSarif(const std::string& path, const CheckResult& result, TextSink& out) {
  std::string text =
      "{\"version\":\"2.1.0\","
      "\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\","
      "\"runs\":[{\"tool\":{\"driver\":{\"name\":\"pibgen\"";
  AppendText(text, "version", PIBGEN_VERSION);
  text += ",\"rules\":[";
  bool first = true;
  for (const CodeRow& row : AllCodes()) {
    if (!IsDescriptionCode(row.code)) continue;
    text += first ? "\n" : ",\n";
    first = false;
    text += '{';
    AppendText(text, "id", row.id);
    text += ",\"shortDescription\":{";
    AppendText(text, "text", row.summary);
    text += "}}";
  }
  text += "]}},\"results\":[";
  out.Print(text);
  first = true;
  const std::string uri = PathUri(path);
  for (const Finding& finding : result.findings) {
    text = first ? "\n{" : ",\n{";
    first = false;
    const CodeRow& row = RowOf(finding.code);
    AppendText(text, "ruleId", row.id);
    AppendText(text, "level", SeverityWord(SeverityOf(finding)));
    text += ",\"message\":{";
    AppendText(text, "text", MessageText(finding));
    text += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{";
    AppendText(text, "uri", finding.file.empty() ? uri : PathUri(finding.file));
    text += '}';
    if (finding.line > 0) {
      text += ",\"region\":{";
      AppendNumber(text, "startLine", finding.line);
      text += '}';
    }
    text += "}}]}";
    out.Print(text);
  }
  out.Print("]}]}\n");
}

}  // namespace

void PrintCheck(const std::string& path, const CheckResult& result, OutputFormat format,
                TextSink& out) {
  switch (format) {
    case OutputFormat::kText:
      return PrintText(path, result, out);
    case OutputFormat::kJson:
      return PrintJson(path, result, out);
    case OutputFormat::kSarif:
      break;
  }
  PrintSarif(path, result, out);
}

}  // namespace pibgen
