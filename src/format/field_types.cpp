#include "format/field_types.h"

namespace pibgen {

const FieldType* TypeNamed(std::string_view type) {
  // Every type name starts "System." and is 11 or more characters: most fill types stop here.
  if (type.size() < 11 || type.substr(0, 7) != "System.") return nullptr;
  for (const FieldType& known : kFieldTypes) {
    if (type == known.name) return &known;
  }
  return nullptr;
}

FieldKind KindOf(std::string_view type) {
  const FieldType* known = TypeNamed(type);
  return known == nullptr ? FieldKind::kFill : known->kind;
}

uint64_t FieldLength(const FieldEntry& entry) {
  const FieldType* type = TypeNamed(entry.type);
  if (type != nullptr && type->width > 0) return type->width;
  return entry.size > 0 ? static_cast<uint64_t>(entry.size) : 0;
}

bool HasNegativeSize(const FieldEntry& entry) {
  return entry.size < 0 && IsSized(KindOf(entry.type));
}

}  // namespace pibgen
