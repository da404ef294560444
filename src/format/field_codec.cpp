#include "format/field_codec.h"

#include <algorithm>
#include <string>
#include <vector>

#include "format/hex.h"
#include "format/parse_decimal.h"
#include "format/utf8_to_utf16.h"

namespace pibgen {
namespace {

void WriteLittleEndian(ByteSink& out, uint32_t value, size_t width) {
  uint8_t bytes[4];
  for (size_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  out.Write(bytes, width);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Decodes the value into size bytes. Only the bytes the text reaches are decoded; the rest
// is zero fill, written without ever holding a buffer of the whole size.
void WriteByteArray(ByteSink& out, const std::string& value, uint64_t size) {
  if (IsAscii(value)) {
    // Two characters a byte, so a block of text decodes on its own; a small block on the
    // stack spares an allocation per field.
    const uint64_t reached = std::min<uint64_t>(size, (value.size() + 1) / 2);
    uint8_t block[256];
    for (uint64_t done = 0; done < reached;) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(reached - done, sizeof block));
      std::fill(block, block + take, uint8_t{0});
      HexStringToBytes(std::string_view(value).substr(2 * done), block, take);
      out.Write(block, take);
      done += take;
    }
    out.WriteZeros(size - reached);
    return;
  }
  // Beyond ASCII the value is decoded by UTF-16 code unit, as a character beyond U+FFFF
  // takes two positions.
  const std::u16string units = Utf8ToUtf16(value);
  std::vector<uint8_t> decoded(std::min<uint64_t>(size, (units.size() + 1) / 2), 0);
  HexStringToBytes(std::u16string_view(units), decoded.data(), decoded.size());
  out.Write(decoded.data(), decoded.size());
  out.WriteZeros(size - decoded.size());
}

}  // namespace

void WriteField(ByteSink& out, const FieldEntry& entry, FieldKind kind) {
  switch (kind) {
    case FieldKind::kUInt16:
    case FieldKind::kByte:
    case FieldKind::kUInt32:
    case FieldKind::kInt32:
      WriteLittleEndian(out, static_cast<uint32_t>(ParseDecimal(entry.value)),
                        static_cast<size_t>(TypeOf(kind)->width));
      return;
    case FieldKind::kByteArray:
      WriteByteArray(out, entry.value, FieldLength(kind, entry.size));
      return;
    case FieldKind::kFill:
      out.WriteZeros(FieldLength(kind, entry.size));
      return;
  }
}

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

}  // namespace pibgen
