#pragma once

#include <string>
#include <string_view>

#include "format/field_entry.h"
#include "format/text_sink.h"

namespace pibgen {

// Builds the FieldEntry of one field from its children as they arrive: "type", "size" and
// "value" by exact name, the last occurrence winning; other children set nothing. With a
// trace sink, prints "name--text" for every child before interpreting it. Its storage is
// reused from field to field: a description of a million fields costs no allocation per
// field.
class FieldEntryCollector {
 public:
  // Starts a new field with every setting at its default.
  void Begin();
  // One child of the field: its node name and its trimmed text.
  void Add(std::string_view name, std::string_view text, TextSink* trace);
  const FieldEntry& Entry() const { return entry_; }

 private:
  FieldEntry entry_;
  std::string line_;
};

}  // namespace pibgen
