#pragma once

#include <vector>

#include "engine/catalogue.h"
#include "engine/read_fields.h"

namespace pibgen {

// What a numeric or System.Byte[] field's value writes where that is not what the value says:
// no value, no number, characters after it, a number outside the type's range; characters that
// are not hex digits, a value shorter or longer than twice the size. Each finding appended has
// its code, its values and its line (the value's, or the field's where it has none); the caller
// says which field. Other kinds have no value to look at.
void FindValueProblems(const Field& field, std::vector<Finding>& findings);

// The same for a value that must write exactly what it says (one a unit table or --set gives):
// a numeric value must also be decimal digits alone, with a minus sign only where the type
// takes negative numbers.
void FindStrictValueProblems(const Field& field, std::vector<Finding>& findings);

}  // namespace pibgen
