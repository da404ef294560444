#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/field_entry.h"

namespace pibgen {

// What a field's type text makes of it: one of the named types, or a fill of zeros.
enum class FieldKind { kUInt16, kByte, kUInt32, kInt32, kByteArray, kFill };

// How a type's <value> text becomes its bytes.
enum class Encoding {
  // ParseDecimal(value) as a two's-complement integer, its low `width` bytes little-endian.
  kLittleEndian,
  // The value read as hex, two characters a byte (HexStringToBytes), `size` bytes.
  kHex,
};

// The most bytes a fixed-width type takes: what a little-endian value holds.
inline constexpr uint64_t kMaxFixedWidth = 8;

// The <type> texts pibgen encodes, compared exactly (case matters). Any other type text, the
// empty one included, makes a fill field of <size> zero bytes. A new type is a row here and a
// kind above; its encoding, decoding, range and help text follow from the row.
struct FieldType {
  FieldKind kind;
  std::string_view name;
  Encoding encoding;
  // Bytes the field takes in the image, 1 to kMaxFixedWidth; 0: as many as its <size>.
  uint64_t width;
  // Whether its bytes read back as a signed number: the decimal text that writes them again.
  bool reads_signed;
  // The decimal values a numeric type writes so that they read back unchanged. Values outside
  // are cut to the width or saturated: System.UInt32 is written like System.Int32.
  int64_t min;
  int64_t max;
  // What the field's bytes hold, for the help text.
  std::string_view encodes;
};
inline constexpr std::array<FieldType, 5> kFieldTypes = {{
    {FieldKind::kUInt16, "System.UInt16", Encoding::kLittleEndian, 2, false, 0, 65535,
     "the low 16 bits of the decimal <value>"},
    {FieldKind::kByte, "System.Byte", Encoding::kLittleEndian, 1, false, 0, 255,
     "the low 8 bits of the decimal <value>"},
    {FieldKind::kUInt32, "System.UInt32", Encoding::kLittleEndian, 4, true, 0, INT32_MAX,
     "the decimal <value>, saturated to 32 bits signed"},
    {FieldKind::kInt32, "System.Int32", Encoding::kLittleEndian, 4, true, INT32_MIN, INT32_MAX,
     "the same as System.UInt32"},
    {FieldKind::kByteArray, "System.Byte[]", Encoding::kHex, 0, false, 0, 0,
     "<value> read as hex, two characters a byte"},
}};

// Each kind's row sits at the kind's own index, and every kind but the fill has one.
constexpr bool TableFollowsKinds() {
  for (size_t i = 0; i < kFieldTypes.size(); ++i) {
    if (kFieldTypes[i].kind != static_cast<FieldKind>(i)) return false;
  }
  return static_cast<size_t>(FieldKind::kFill) == kFieldTypes.size();
}
static_assert(TableFollowsKinds(), "kFieldTypes must list the kinds in FieldKind's order");

// A little-endian type has a width that a 64-bit value holds; a hex type takes its <size>.
constexpr bool WidthsFitEncodings() {
  for (const FieldType& type : kFieldTypes) {
    const bool fixed = type.encoding == Encoding::kLittleEndian;
    if (fixed ? type.width == 0 || type.width > kMaxFixedWidth : type.width != 0) return false;
  }
  return true;
}
static_assert(WidthsFitEncodings(), "a little-endian type is 1 to 8 bytes, a hex type sized");

// The type a type text names, or null for a fill.
const FieldType* TypeNamed(std::string_view type);
FieldKind KindOf(std::string_view type);

// The row of a kind; null for a fill.
inline const FieldType* TypeOf(FieldKind kind) {
  return kind == FieldKind::kFill ? nullptr : &kFieldTypes[static_cast<size_t>(kind)];
}
// Whether the field's length is its <size>: System.Byte[] and every fill.
inline bool IsSized(FieldKind kind) {
  const FieldType* type = TypeOf(kind);
  return type == nullptr || type->width == 0;
}
// Whether the type writes a decimal <value> in a fixed width.
inline bool IsNumeric(FieldKind kind) { return !IsSized(kind); }

// The longest type name, for laying out a list of them.
constexpr size_t LongestTypeName() {
  size_t longest = 0;
  for (const FieldType& type : kFieldTypes)
    longest = type.name.size() > longest ? type.name.size() : longest;
  return longest;
}

// How many bytes a field takes in the image: a numeric type's width, or the size of a sized
// field. A negative size is a broken rule (read_fields.h); here it counts as 0.
uint64_t FieldLength(FieldKind kind, int32_t size);
inline uint64_t FieldLength(const FieldEntry& entry) {
  return FieldLength(KindOf(entry.type), entry.size);
}

// The rule no image can meet: a sized field with a negative size.
inline bool HasNegativeSize(FieldKind kind, int32_t size) { return size < 0 && IsSized(kind); }

}  // namespace pibgen
