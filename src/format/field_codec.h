#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/field_entry.h"
#include "format/field_types.h"

namespace pibgen {

// Where a field's bytes go: the image being written, or memory.
class ByteSink {
 public:
  virtual void Write(const uint8_t* bytes, size_t count) = 0;
  virtual void WriteZeros(uint64_t count) = 0;

 protected:
  ~ByteSink() = default;
};

// A field's bytes in memory, for comparing an image with its description without writing
// one: the bytes the encoding writes, then the zeros that follow them (the rest of a Byte[]
// value, or a whole fill) as a count, so a fill of gigabytes costs nothing.
struct FieldBytes final : ByteSink {
  std::vector<uint8_t> bytes;
  uint64_t zeros = 0;

  void Clear() {
    bytes.clear();
    zeros = 0;
  }
  void Write(const uint8_t* data, size_t count) override {
    bytes.resize(static_cast<size_t>(bytes.size() + zeros), 0);
    zeros = 0;
    bytes.insert(bytes.end(), data, data + count);
  }
  void WriteZeros(uint64_t count) override { zeros += count; }
};

// Encoding: appends the field's FieldLength(entry) bytes. The numeric types write the low
// bytes of ParseDecimal(value), little-endian; the byte array its value decoded by
// HexStringToBytes and zeros after what the value reaches; a fill its size in zeros. A
// negative size writes nothing. kind is KindOf(entry.type), for a caller that has it already.
void WriteField(ByteSink& out, const FieldEntry& entry, FieldKind kind);
inline void WriteField(ByteSink& out, const FieldEntry& entry) {
  WriteField(out, entry, KindOf(entry.type));
}

// Decoding: the <value> text that writes a numeric field's image bytes (as many as the
// kind's width) back unchanged: unsigned decimal for the 16- and 8-bit types, signed decimal
// for the 32-bit ones. Empty for the sized kinds.
std::string NumericValueText(FieldKind kind, const uint8_t* bytes);

}  // namespace pibgen
