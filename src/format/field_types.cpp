#include "format/field_types.h"

#include <cstring>

namespace pibgen {

const FieldType* TypeNamed(std::string_view type) {
  // Most fill types differ from every name in length, so the bytes are compared only then.
  for (const FieldType& known : kFieldTypes) {
    if (type.size() == known.name.size() &&
        std::memcmp(type.data(), known.name.data(), type.size()) == 0) {
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
