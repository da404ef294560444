#include "format/field_types.h"

#include <cstring>

namespace pibgen {

const FieldType* TypeNamed(std::string_view type) {
  // Every type name starts "System.": most fill types stop here, and the rest by length.
  if (type.size() < 8 || std::memcmp(type.data(), "System.", 7) != 0) return nullptr;
  for (const FieldType& known : kFieldTypes) {
    if (type.size() == known.name.size() &&
        std::memcmp(type.data() + 7, known.name.data() + 7, type.size() - 7) == 0) {
      return &known;
    }
  }
  return nullptr;
}

FieldKind KindOf(std::string_view type) {
  const FieldType* known = TypeNamed(type);
  return known == nullptr ? FieldKind::kFill : known->kind;
}

uint64_t FieldLength(FieldKind kind, int32_t size) {
  const FieldType* type = TypeOf(kind);
  if (type != nullptr && type->width > 0) return type->width;
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

}  // namespace pibgen
