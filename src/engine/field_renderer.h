#pragma once

#include "engine/read_fields.h"
#include "format/field_codec.h"

namespace pibgen {

// Renders each field of a description into out as soon as it is whole. After a broken rule
// nothing more is rendered, but the read goes on: a description that does not load is refused
// as such, whatever rule it broke before.
class FieldRenderer : public FieldHandler {
 public:
  // out may be null: the fields are then only read (a destination that was refused).
  explicit FieldRenderer(ByteSink* out) : out_(out) {}

  bool EndField(const Field& field) override {
    if (!broken_ && out_ != nullptr) WriteField(*out_, field.entry, field.kind);
    return true;
  }
  bool Broken(const Failure&) override {
    broken_ = true;
    return true;
  }
  // Failures number fields without naming them.
  bool WantsAttributes() const override { return false; }

 protected:
  bool broken() const { return broken_; }

 private:
  ByteSink* out_;
  bool broken_ = false;
};

}  // namespace pibgen
