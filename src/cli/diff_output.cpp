#include "cli/diff_output.h"

#include <utility>

#include "cli/json_text.h"
#include "format/hex.h"

namespace pibgen {
namespace {

void AppendOptional(std::string& text, std::string_view key,
                    const std::optional<std::string>& value) {
  if (value) {
    AppendText(text, key, *value);
  } else {
    AppendNull(text, key);
  }
}

}  // namespace

DiffPrinter::DiffPrinter(const std::string& old_path, const std::string& new_path,
                         const std::optional<std::string>& layout, OutputFormat format,
                         TextSink& out, std::unique_ptr<file::ImageFile> scratch)
    : old_path_(old_path),
      new_path_(new_path),
      layout_(layout),
      json_(format != OutputFormat::kText),
      out_(out),
      fields_(std::move(scratch)) {}

void DiffPrinter::FieldDiffers(const FieldChange& change) {
  const Finding& finding = change.finding;
  const bool first = !any_field_;
  any_field_ = true;
  if (!json_) {
    fields_.Print(MessageText(finding) + "\n");
    return;
  }
  std::string text = first ? "\n{" : ",\n{";
  AppendNumber(text, "field", finding.field);
  if (finding.named) {
    AppendText(text, "name", finding.name);
  } else {
    AppendNull(text, "name");
  }
  AppendNumber(text, "offset", change.offset);
  AppendNumber(text, "length", change.length);
  AppendText(text, "type", change.type);
  AppendOptional(text, "old", change.old_value);
  AppendOptional(text, "new", change.new_value);
  AppendNumber(text, "differing", change.differing);
  AppendNumber(text, "first", change.first);
  AppendText(text, "message", MessageText(finding));
  text += '}';
  fields_.Print(text);
}

void DiffPrinter::RangeDiffers(const RangeDifference& range) {
  if (!json_) {
    ranges_.push_back(MessageText(range.finding) + "\n");
    return;
  }
  std::string text = "{";
  AppendNumber(text, "offset", range.offset);
  AppendNumber(text, "length", range.length);
  AppendOptional(text, "old", range.old_bytes);
  AppendOptional(text, "new", range.new_bytes);
  AppendText(text, "message", MessageText(range.finding));
  text += '}';
  ranges_.push_back(std::move(text));
}

// As JSON: {"path", "bytes", "checksum", "message"}; nulls for an image not compared.
std::string DiffPrinter::SideText(const std::string& path, const DiffSide* side) const {
  std::string text = "{";
  AppendText(text, "path", path);
  if (side == nullptr) {
    text += ",\"bytes\":null,\"checksum\":null,\"message\":null}";
    return text;
  }
  AppendNumber(text, "bytes", side->length);
  if (side->has_checksum) {
    text += ",\"checksum\":{";
    AppendText(text, "stored", HexByte(side->stored));
    AppendText(text, "computed", HexByte(side->computed));
    AppendBool(text, "ok", side->stored == side->computed);
    text += '}';
  } else {
    AppendNull(text, "checksum");
  }
  AppendText(text, "message", MessageText(side->finding));
  text += '}';
  return text;
}

bool DiffPrinter::Finish(const DiffResult& result) {
  const std::string& trouble_path = result.trouble_path;
  std::vector<std::pair<Finding, std::string>> findings;  // each with the file it is about
  Finding unheld;
  unheld.code = Code::kCannotHoldOutput;
  const bool compared = result.compared && !fields_.Failed();
  if (!result.compared) {
    findings.emplace_back(*result.trouble, trouble_path);
  } else if (!compared) {
    findings.emplace_back(unheld, old_path_);
  } else {
    for (const Finding& finding : result.findings) findings.emplace_back(finding, old_path_);
  }
  const auto line = [&](const Finding& finding, const std::string& path) {
    if (!result.compared && result.refused) return FindingLine(path, finding);
    if (!compared) return path + ": " + MessageText(finding) + "\n";
    return MessageText(finding) + "\n";
  };
  std::string text;
  if (json_) {
    text = OpenDocument();
    text += ",\"old\":" + SideText(old_path_, compared ? &result.old_side : nullptr);
    text += ",\"new\":" + SideText(new_path_, compared ? &result.new_side : nullptr);
    AppendOptional(text, "layout", layout_);
    if (layout_) text += ",\"fields\":[";
  } else if (compared) {
    text =
        MessageText(result.old_side.finding) + "\n" + MessageText(result.new_side.finding) + "\n";
  }
  bool printed = true;
  if (compared && any_field_) {
    out_.Print(text);
    text.clear();
    if (!fields_.Publish(out_)) {
      out_.Print(old_path_ + ": " + MessageText(unheld) + "\n");
      printed = false;
    }
  }
  if (json_) {
    if (layout_) text += "]";
    text += ",\"ranges\":[";
    if (compared) {
      for (size_t i = 0; i < ranges_.size(); ++i) text += (i == 0 ? "\n" : ",\n") + ranges_[i];
    }
    text += "],\"findings\":[";
    bool first = true;
    for (const auto& [finding, path] : findings) {
      if (!first) text += ',';
      first = false;
      AppendFinding(text, finding, path, MessageText(finding));
    }
    text += ']';
    AppendBool(text, "ok", compared && result.same);
    text += "}\n";
  } else {
    if (compared) {
      for (const std::string& range : ranges_) text += range;
    }
    for (const auto& [finding, path] : findings) text += line(finding, path);
  }
  out_.Print(text);
  return printed && (compared || !result.compared);
}

}  // namespace pibgen
