#include "engine/catalogue.h"

#include <cstddef>

#include "format/quote_text.h"
#include "xml/read_description.h"

namespace pibgen {
namespace {

constexpr CodeRow kRows[] = {
#define PIBGEN_ROW(name, id, severity, summary, text, other) \
  {Code::name, id, Severity::severity, summary, text, other},
    PIBGEN_CODES(PIBGEN_ROW)
#undef PIBGEN_ROW
};

// "1 byte", "2 bytes"; words is "singular" or "singular|plural".
std::string Counted(const std::string& count, std::string_view words) {
  const size_t bar = words.find('|');
  std::string text = count + " ";
  if (bar == std::string_view::npos) {
    text.append(words);
    if (count != "1") text += 's';
  } else {
    text.append(count == "1" ? words.substr(0, bar) : words.substr(bar + 1));
  }
  return text;
}

std::string Label(const Finding& finding) {
  std::string label = "field " + std::to_string(finding.field);
  if (finding.named) label += " (" + QuoteText(finding.name) + ")";
  return label;
}

const char* NodeWords(xml::NodeKind kind) {
  switch (kind) {
    case xml::NodeKind::kText:
      return "text";
    case xml::NodeKind::kCData:
      return "a CDATA section";
    case xml::NodeKind::kComment:
      return "a comment";
    case xml::NodeKind::kProcessingInstruction:
      return "a processing instruction";
    case xml::NodeKind::kElement:
      break;
  }
  return "an element";
}

struct Where {
  std::string_view file;
};

// Writes one placeholder's text ("0:q", "field", ...) to out; false when a value it needs is
// missing (for a [...] segment, which is then left out).
bool Placeholder(std::string_view name, const Finding& finding, const Where& where,
                 std::string& out) {
  if (name == "field") {
    out += finding.subject.empty() ? Label(finding) : finding.subject;
    return true;
  }
  if (name == "n") {
    out += std::to_string(finding.field);
    return true;
  }
  if (name == "line") {
    out += std::to_string(finding.line);
    return true;
  }
  if (name == "file") {
    out.append(where.file);
    return true;
  }
  const size_t colon = name.find(':');
  const std::string_view index = name.substr(0, colon);
  size_t i = 0;
  for (const char c : index) i = i * 10 + static_cast<size_t>(c - '0');
  static const std::string kNone;
  const std::string& value = i < finding.values.size() ? finding.values[i] : kNone;
  const std::string_view how = colon == std::string_view::npos ? "" : name.substr(colon + 1);
  if (how == "!") return value.empty();
  if (how == "?") return !value.empty();
  if (value.empty() && how != "q") return false;
  if (how.empty()) {
    out += value;
  } else if (how == "q") {
    out += QuoteText(value);
  } else {
    out += Counted(value, how);
  }
  return !value.empty();
}

std::string Fill(std::string_view wording, const Finding& finding, const Where& where) {
  std::string out;
  std::string segment;  // the [...] being written, kept only if all its values are there
  bool in_segment = false;
  bool segment_ok = true;
  for (size_t i = 0; i < wording.size(); ++i) {
    const char c = wording[i];
    std::string& to = in_segment ? segment : out;
    if (c == '[') {
      in_segment = true;
      segment_ok = true;
      segment.clear();
    } else if (c == ']' && in_segment) {
      in_segment = false;
      if (segment_ok) out += segment;
    } else if (c == '{') {
      const size_t end = wording.find('}', i);
      const bool present = Placeholder(wording.substr(i + 1, end - i - 1), finding, where, to);
      if (!present && in_segment) segment_ok = false;
      i = end;
    } else {
      to += c;
    }
  }
  return out;
}

}  // namespace

std::span<const CodeRow> AllCodes() { return kRows; }

const CodeRow& RowOf(Code code) { return kRows[static_cast<size_t>(code)]; }

std::string_view SeverityWord(Severity severity) {
  switch (severity) {
    case Severity::kNote:
      return "note";
    case Severity::kWarning:
      return "warning";
    case Severity::kError:
      break;
  }
  return "error";
}

Severity SeverityOf(const Finding& finding) {
  return finding.refused ? Severity::kError : RowOf(finding.code).severity;
}

std::string MessageText(const Finding& finding) {
  return Fill(RowOf(finding.code).text, finding, {});
}

std::string OtherText(const Finding& finding, std::string_view file) {
  const CodeRow& row = RowOf(finding.code);
  return Fill(row.other.empty() ? row.text : row.other, finding, {file});
}

std::string FindingLine(std::string_view path, const Finding& finding) {
  std::string text(path);
  if (finding.line > 0) {
    text += ':';
    text += std::to_string(finding.line);
  }
  text += ": ";
  text += SeverityWord(SeverityOf(finding));
  text += ": ";
  text += MessageText(finding);
  text += '\n';
  return text;
}

std::string Line(Code code) { return std::string(RowOf(code).text) + "\n"; }

Finding FindingOf(const Failure& failure) {
  Finding finding;
  finding.line = failure.line;
  switch (failure.kind) {
    case FailureKind::kNotAnElement:
      finding.code = Code::kNotAnElement;
      finding.field = failure.field;
      finding.values = {NodeWords(failure.node)};
      return finding;
    case FailureKind::kNegativeSize:
      finding.code = Code::kNegativeSize;
      finding.field = failure.field;
      finding.named = failure.named;
      finding.name = failure.name;
      finding.values = {std::to_string(failure.size)};
      return finding;
    case FailureKind::kCreateImage:
      finding.code = Code::kCreateImage;
      return finding;
    case FailureKind::kWriteImage:
      finding.code = Code::kWriteImage;
      return finding;
    case FailureKind::kReadImage:
      finding.code = Code::kReadImage;
      return finding;
    case FailureKind::kCloseImage:
      finding.code = Code::kCloseImage;
      return finding;
    case FailureKind::kOutputLost:
      finding.code = Code::kOutputLost;
      return finding;
    case FailureKind::kNone:
    case FailureKind::kLoad:
    case FailureKind::kStopped:
    case FailureKind::kValueRefused:
      break;
  }
  switch (failure.read) {
    case xml::ReadFailure::kNone:
    case xml::ReadFailure::kNotWellFormed:
      finding.code = Code::kNotWellFormed;
      break;
    case xml::ReadFailure::kUnreadable:
    case xml::ReadFailure::kStopped:
      finding.code = Code::kUnreadable;
      break;
    case xml::ReadFailure::kExternalEntity:
      finding.code = failure.entity.empty() ? Code::kExternalResource : Code::kExternalEntity;
      finding.values = {failure.entity};
      break;
    case xml::ReadFailure::kUndeclaredEntity:
      finding.code = Code::kUndeclaredEntity;
      finding.values = {failure.entity};
      break;
    case xml::ReadFailure::kTooDeep:
      finding.code = Code::kNestingTooDeep;
      finding.values = {std::to_string(xml::MaxNestingDepth())};
      break;
    case xml::ReadFailure::kBeyondBounds:
      finding.code = Code::kEntityExpansion;
      break;
  }
  return finding;
}

std::string ConversionMessage(const Failure& failure, std::string_view source) {
  // Lost output cannot be told of; refused values were told of one by one.
  if (failure.kind == FailureKind::kOutputLost || failure.kind == FailureKind::kValueRefused) {
    return {};
  }
  return OtherText(FindingOf(failure), source) + "\n";
}

}  // namespace pibgen
