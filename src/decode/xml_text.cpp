#include "decode/xml_text.h"

namespace pibgen {
namespace {

void Append(std::string& out, std::string_view text, bool attribute) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace

void AppendXmlContent(std::string& out, std::string_view text) { Append(out, text, false); }

void AppendXmlAttribute(std::string& out, std::string_view text) { Append(out, text, true); }

}  // namespace pibgen
