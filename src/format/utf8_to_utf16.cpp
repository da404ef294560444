#include "format/utf8_to_utf16.h"

#include <cstdint>

namespace pibgen {

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    uint32_t code = lead & (0x7Fu >> extra);
    if (extra > n - 1 - i) extra = n - 1 - i;  // a cut-off sequence takes what is there
    for (size_t k = 1; k <= extra; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + ((code >> 10) & 0x3FF)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

}  // namespace pibgen
