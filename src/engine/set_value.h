#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalogue.h"
#include "engine/read_fields.h"
#include "format/field_codec.h"

namespace pibgen {

// A value --set gives: the field named name takes value as its value text.
struct SetValue {
  std::string name;
  std::string value;
};

// Where a value given for a field came from, for the findings about it: subject stands for the
// field ("column serial", "--set=serial"), file and line for the unit table's row (empty and 0
// for --set).
struct ValueSource {
  std::string_view subject;
  std::string_view file;
  uint32_t line = 0;
};

// Appends why value cannot replace field's value (one a unit table or --set gives): a fill has
// none; a value the conversion would not encode as it reads is refused, never warned of.
// False if there was any.
bool CheckSetValue(const Field& field, std::string_view value, const ValueSource& source,
                   std::vector<Finding>& findings);

// The field's bytes with value as its value, as a conversion writes them.
void EncodeSetValue(const Field& field, std::string_view value, FieldBytes& out);

}  // namespace pibgen
