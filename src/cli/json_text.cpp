#include "cli/json_text.h"

#include <nlohmann/json.hpp>

#include "engine/version.h"

namespace pibgen {

void AppendJsonString(std::string& out, std::string_view text) {
  out += nlohmann::json(std::string(text))
             .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonString(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

namespace {

void AppendKey(std::string& out, std::string_view key) {
  if (!out.empty() && out.back() != '{' && out.back() != '[') out += ',';
  out += '"';
  out += key;
  out += "\":";
}

}  // namespace

std::string OpenDocument() {
  std::string text(1, '{');
  AppendText(text, "version", PIBGEN_VERSION);
  return text;
}

std::string OpenFieldsDocument(std::string_view image, std::string_view layout) {
  std::string text = OpenDocument();
  AppendText(text, "image", image);
  AppendText(text, "layout", layout);
  text += ",\"fields\":[";
  return text;
}

void AppendFinding(std::string& out, const Finding& finding, std::string_view file,
                   std::string_view message) {
  out += '{';
  AppendText(out, "code", RowOf(finding.code).id);
  AppendText(out, "severity", SeverityWord(SeverityOf(finding)));
  AppendText(out, "file", file);
  if (finding.line > 0) {
    AppendNumber(out, "line", finding.line);
  } else {
    AppendNull(out, "line");
  }
  if (finding.field > 0) {
    AppendNumber(out, "field", finding.field);
  } else {
    AppendNull(out, "field");
  }
  if (finding.named) {
    AppendText(out, "name", finding.name);
  } else {
    AppendNull(out, "name");
  }
  AppendText(out, "message", message);
  out += '}';
}

void AppendText(std::string& out, std::string_view key, std::string_view text) {
  AppendKey(out, key);
  AppendJsonString(out, text);
}

void AppendNumber(std::string& out, std::string_view key, uint64_t number) {
  AppendKey(out, key);
  out += std::to_string(number);
}

void AppendBool(std::string& out, std::string_view key, bool value) {
  AppendKey(out, key);
  out += value ? "true" : "false";
}

void AppendNull(std::string& out, std::string_view key) {
  AppendKey(out, key);
  out += "null";
}

}  // namespace pibgen
