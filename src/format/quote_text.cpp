#include "format/quote_text.h"

#include "format/hex.h"

namespace pibgen {
namespace {
constexpr size_t kShownBytes = 40;
}

std::string QuoteText(std::string_view text) {
  std::string out = "\"";
  size_t shown = text.size();
  if (shown > kShownBytes) {
    shown = kShownBytes;
    // Do not cut a UTF-8 sequence: back up over continuation bytes.
    while (shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  }
  for (char c : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += HexByte(byte);
    } else {
      out += c;
    }
  }
  if (shown < text.size()) out += "...";
  out += '"';
  return out;
}

}  // namespace pibgen
