#include "decode/field_value_text.h"

namespace pibgen {

std::string NumericValueText(FieldKind kind, const uint8_t* bytes) {
  switch (kind) {
    case FieldKind::kUInt16:
      return std::to_string(bytes[0] | bytes[1] << 8);
    case FieldKind::kByte:
      return std::to_string(bytes[0]);
    case FieldKind::kUInt32:
    case FieldKind::kInt32:
      return std::to_string(static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                                 uint32_t{bytes[2]} << 16 |
                                                 uint32_t{bytes[3]} << 24));
    case FieldKind::kByteArray:
    case FieldKind::kFill:
      break;
  }
  return {};
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t count, char separator) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && separator != '\0') out += separator;
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
}

std::string HexByte(uint8_t byte) {
  std::string out;
  AppendHex(out, &byte, 1, '\0');
  return out;
}

}  // namespace pibgen
