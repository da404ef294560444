#include "format/write_field.h"

#include <algorithm>
#include <string>
#include <vector>

#include "format/hex_string_to_bytes.h"
#include "format/parse_decimal.h"
#include "format/field_types.h"
#include "format/utf8_to_utf16.h"

namespace pibgen {

FieldKind KindOf(std::string_view type) {
  // Every type name starts "System." and is 11 or more characters: most fill types stop here.
  if (type.size() < 11 || type.substr(0, 7) != "System.") return FieldKind::kFill;
  for (size_t i = 0; i < kFieldTypes.size(); ++i) {
    if (type == kFieldTypes[i].name) return static_cast<FieldKind>(i);
  }
  return FieldKind::kFill;
}

namespace {

template <class Output>
void WriteLittleEndian(Output& image, uint32_t value, size_t width) {
  uint8_t bytes[4];
  for (size_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  image.Write(bytes, width);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Decodes the value into size bytes. Only the bytes the text reaches are decoded; the rest
// is zero fill, written without ever holding a buffer of the whole size.
template <class Output>
void WriteByteArray(Output& image, const std::string& value, uint64_t size) {
  if (IsAscii(value)) {
    // Two characters a byte, so a block of text decodes on its own; a small block on the
    // stack spares an allocation per field.
    const uint64_t reached = std::min<uint64_t>(size, (value.size() + 1) / 2);
    uint8_t block[256];
    for (uint64_t done = 0; done < reached;) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(reached - done, sizeof block));
      std::fill(block, block + take, uint8_t{0});
      HexStringToBytes(std::string_view(value).substr(2 * done), block, take);
      image.Write(block, take);
      done += take;
    }
    image.WriteZeros(size - reached);
    return;
  }
  const std::u16string units = Utf8ToUtf16(value);
  std::vector<uint8_t> decoded(std::min<uint64_t>(size, (units.size() + 1) / 2), 0);
  HexStringToBytes(std::u16string_view(units), decoded.data(), decoded.size());
  image.Write(decoded.data(), decoded.size());
  image.WriteZeros(size - decoded.size());
}

}  // namespace

bool IsSizedType(std::string_view type) {
  const FieldKind kind = KindOf(type);
  return kind == FieldKind::kByteArray || kind == FieldKind::kFill;
}

bool IsSizedField(const FieldEntry& entry) { return IsSizedType(entry.type); }

uint64_t FieldLength(const FieldEntry& entry) {
  const FieldKind kind = KindOf(entry.type);
  if (kind != FieldKind::kFill && kFieldTypes[static_cast<size_t>(kind)].width > 0) {
    return kFieldTypes[static_cast<size_t>(kind)].width;
  }
  return entry.size > 0 ? static_cast<uint64_t>(entry.size) : 0;
}

namespace {

// The encoding, the same whether the bytes go to the image file or to memory.
template <class Output>
void Encode(Output& image, const FieldEntry& entry) {
  const FieldKind kind = KindOf(entry.type);
  switch (kind) {
    case FieldKind::kUInt16:
    case FieldKind::kByte:
    case FieldKind::kUInt32:
    case FieldKind::kInt32:
      WriteLittleEndian(image, static_cast<uint32_t>(ParseDecimal(entry.value)),
                        static_cast<size_t>(FieldLength(entry)));
      return;
    case FieldKind::kByteArray:
      WriteByteArray(image, entry.value, FieldLength(entry));
      return;
    case FieldKind::kFill:
      image.WriteZeros(FieldLength(entry));
      return;
  }
}

}  // namespace

void WriteField(PibImageFile& image, const FieldEntry& entry) { Encode(image, entry); }

void WriteField(FieldBytes& bytes, const FieldEntry& entry) { Encode(bytes, entry); }

}  // namespace pibgen
