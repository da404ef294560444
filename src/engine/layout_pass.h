#pragma once

#include <cstdint>

#include "engine/read_fields.h"

namespace pibgen {

// One pass over a layout (a description read for an image it describes): the fields as a
// conversion reads them, counted and measured, each handed to Visit. A broken rule stops the
// read, as a conversion would refuse the layout.
class LayoutPass : public FieldHandler {
 public:
  uint32_t FieldCount() const { return fields_; }
  // The image length the fields read so far add up to.
  uint64_t Length() const { return length_; }

  bool EndField(const Field& field) final {
    ++fields_;
    length_ = field.offset + field.length;
    return Visit(field);
  }
  bool Broken(const Failure&) final { return false; }

 protected:
  virtual bool Visit(const Field& field) = 0;

 private:
  uint32_t fields_ = 0;
  uint64_t length_ = 0;
};

}  // namespace pibgen
