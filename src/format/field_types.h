#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pibgen {

// The facts of the PIB format that the writer, the checker and the verifier share.

// Offset of the checksum byte in the image; the checksum covers every byte after it.
inline constexpr uint64_t kChecksumOffset = 2;

// The <type> texts the writer encodes, with the bytes each takes in the image (0: as many as
// the field's <size>). Any other type text makes a fill field of <size> zero bytes.
struct FieldType {
  std::string_view name;
  uint64_t width;
};
inline constexpr std::array<FieldType, 5> kFieldTypes = {{
    {"System.UInt16", 2},
    {"System.Byte", 1},
    {"System.UInt32", 4},
    {"System.Int32", 4},
    {"System.Byte[]", 0},
}};
inline constexpr std::string_view kByteArrayType = kFieldTypes[4].name;

// The longest path, in characters, that a switch or the image may have: every system the
// tool runs on takes paths this long, so descriptions and scripts shared between systems
// keep working.
inline constexpr size_t kMaxPathCharacters = 259;

}  // namespace pibgen
