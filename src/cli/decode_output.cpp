#include "cli/decode_output.h"

#include <utility>

#include "cli/json_text.h"
#include "decode/xml_text.h"

namespace pibgen {
namespace {

// Text is handed on once it grows past this.
constexpr size_t kPrintChunk = size_t{1} << 16;

void AppendNamespaces(std::string& text, std::span<const xml::Namespace> namespaces) {
  for (const xml::Namespace& declaration : namespaces) {
    text += declaration.prefix.empty() ? " xmlns" : " xmlns:";
    text += declaration.prefix;
    text += "=\"";
    AppendXmlAttribute(text, declaration.uri);
    text += '"';
  }
}

void AppendAttributes(std::string& text, std::span<const xml::Attribute> attributes,
                      bool skip_place) {
  for (const xml::Attribute& attribute : attributes) {
    // The field's place is given anew; a stale one from the layout would contradict it.
    if (skip_place && (attribute.name == "offset" || attribute.name == "length")) continue;
    text += ' ';
    text += attribute.name;
    text += "=\"";
    AppendXmlAttribute(text, attribute.value);
    text += '"';
  }
}

}  // namespace

DecodePrinter::DecodePrinter(const std::string& image, const std::string& layout,
                             OutputFormat format, TextSink& out,
                             std::unique_ptr<file::ImageFile> scratch)
    : image_(image),
      layout_(layout),
      json_(format != OutputFormat::kText),
      out_(out),
      held_(std::move(scratch)) {}

void DecodePrinter::Root(std::string_view name, std::span<const xml::Attribute> attributes,
                         std::span<const xml::Namespace> namespaces) {
  if (json_) {
    root_open_ = OpenFieldsDocument(image_, layout_);
    return;
  }
  root_open_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
  root_open_.append(name);
  AppendNamespaces(root_open_, namespaces);
  AppendAttributes(root_open_, attributes, false);
  root_open_ += ">\n";
  root_close_ = "</";
  root_close_.append(name).append(">\n");
}

void DecodePrinter::OpenRoot() {
  text_ += root_open_;
  root_open_.clear();
}

void DecodePrinter::Flush() {
  held_.Print(text_);
  text_.clear();
}

void DecodePrinter::FlushIfLong() {
  if (text_.size() >= kPrintChunk) Flush();
}

void DecodePrinter::BeginField(const DecodedField& field) {
  OpenRoot();
  fill_ = field.kind == FieldKind::kFill;
  numeric_ = IsNumeric(field.kind);
  if (json_) {
    text_ += fields_ == 0 ? "\n{" : ",\n{";
    AppendNumber(text_, "field", field.field);
    if (field.named) {
      AppendText(text_, "name", field.name);
    } else {
      AppendNull(text_, "name");
    }
    AppendNumber(text_, "offset", field.offset);
    AppendNumber(text_, "length", field.length);
    if (field.typed) {
      AppendText(text_, "type", field.type);
    } else {
      AppendNull(text_, "type");
    }
    text_ += fill_ ? ",\"value\":null" : ",\"value\":\"";
    ++fields_;
    return;
  }
  ++fields_;
  element_.assign(field.element);
  text_ += "  <";
  text_.append(field.element);
  AppendNamespaces(text_, field.namespaces);
  AppendAttributes(text_, field.attributes, true);
  text_ += " offset=\"" + std::to_string(field.offset) + "\" length=\"" +
           std::to_string(field.length) + "\">\n";
  if (field.typed) {
    text_ += "    <type>";
    AppendXmlContent(text_, field.type);
    text_ += "</type>\n";
  }
  if (IsSized(field.kind)) text_ += "    <size>" + std::to_string(field.length) + "</size>\n";
  if (!fill_) text_ += "    <value>";
}

// The pieces are decimal or hex digits, which neither XML nor JSON escapes. A field's text is
// handed on at its end, but a long Byte[] value's piece by piece.
void DecodePrinter::Value(std::string_view piece) {
  text_ += piece;
  if (!numeric_) FlushIfLong();
}

void DecodePrinter::EndField() {
  if (json_) {
    text_ += fill_ ? "}" : "\"}";
    FlushIfLong();
    return;
  }
  if (!fill_) text_ += "</value>\n";
  text_ += "  </";
  text_ += element_;
  text_ += ">\n";
  FlushIfLong();
}

bool DecodePrinter::Finish(const DecodeResult& result) {
  if (result.failed) {
    PrintFailure(result.why, result.refused);
    return false;
  }
  OpenRoot();
  if (json_) {
    text_ += "],\"findings\":[]";
    AppendBool(text_, "ok", true);
    text_ += "}\n";
  } else {
    text_ += root_close_;
  }
  Flush();
  Finding unheld;
  unheld.code = Code::kCannotHoldOutput;
  if (held_.Failed()) {
    PrintFailure(unheld, false);
    return false;
  }
  if (held_.Publish(out_)) return true;
  out_.Print(image_ + ": " + MessageText(unheld) + "\n");
  return false;
}

void DecodePrinter::PrintFailure(const Finding& why, bool about_layout) {
  if (!json_) {
    out_.Print(about_layout ? FindingLine(layout_, why) : image_ + ": " + MessageText(why) + "\n");
    return;
  }
  std::string text = OpenFieldsDocument(image_, layout_);
  text += "],\"findings\":[";
  AppendFinding(text, why, about_layout ? layout_ : image_, MessageText(why));
  text += ']';
  AppendBool(text, "ok", false);
  text += "}\n";
  out_.Print(text);
}

}  // namespace pibgen
