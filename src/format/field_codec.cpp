#include "format/field_codec.h"

#include <algorithm>
#include <string>
#include <vector>

#include "format/hex.h"
#include "format/parse_decimal.h"
#include "format/utf8_to_utf16.h"

namespace pibgen {
namespace {

void WriteLittleEndian(ByteSink& out, uint64_t value, uint64_t width) {
  uint8_t bytes[kMaxFixedWidth];
  for (uint64_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  out.Write(bytes, static_cast<size_t>(width));
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
  const FieldType* type = TypeOf(kind);
  if (type == nullptr) {
    out.WriteZeros(FieldLength(kind, entry.size));
    return;
  }
  switch (type->encoding) {
    case Encoding::kLittleEndian: {
      // Sign-extended, so a negative value fills every byte of a wide type.
      const int64_t value = ParseDecimal(entry.value);
      WriteLittleEndian(out, static_cast<uint64_t>(value), type->width);
      return;
    }
    case Encoding::kHex:
      WriteByteArray(out, entry.value, FieldLength(kind, entry.size));
      return;
  }
}

std::string NumericValueText(FieldKind kind, const uint8_t* bytes) {
  const FieldType* type = TypeOf(kind);
  if (type == nullptr || type->encoding != Encoding::kLittleEndian) return {};
  const uint64_t bits = 8 * type->width;
  uint64_t value = 0;
  for (uint64_t i = 0; i < type->width; ++i) value |= uint64_t{bytes[i]} << (8 * i);
  if (!type->reads_signed) return std::to_string(value);
  // Sign-extended from the type's top bit.
  const uint64_t sign = uint64_t{1} << (bits - 1);
  if (bits < 64 && (value & sign) != 0) value |= ~uint64_t{0} << bits;
  return std::to_string(static_cast<int64_t>(value));
}

}  // namespace pibgen
