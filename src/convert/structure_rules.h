#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/read_description.h"

namespace pibgen {

// What a description must meet, beyond loading, for a conversion to write it: every child of
// the root is an element (a field), and no field whose length is its size gives a negative
// size, which no image can hold. Both are found before the destination is touched; --check
// reports them as errors.

// "field N is a comment, not an element" for the root's child N that breaks the first rule.
std::string NotAnElement(uint32_t field, xml::NodeKind kind);

}  // namespace pibgen
