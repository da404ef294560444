#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/write_field.h"

namespace pibgen {

// The value text of a numeric field whose image bytes are bytes (2, 1 or 4 of them, as kind
// takes): System.UInt16 0 to 65535, System.Byte 0 to 255, System.UInt32 and System.Int32 as
// signed decimal, which the conversion reads back to the same bits.
std::string NumericValueText(FieldKind kind, const uint8_t* bytes);

// Appends bytes as upper-case hex, two digits a byte, with separator between bytes (none
// when it is '\0').
void AppendHex(std::string& out, const uint8_t* bytes, size_t count, char separator);

// One byte as two upper-case hex digits.
std::string HexByte(uint8_t byte);

}  // namespace pibgen
