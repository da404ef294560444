#pragma once

#include <string>

#include "cli/text_sink.h"
#include "conversion/image/field_entry.h"
#include "xml/dom_document.h"

namespace pibgen {

// Builds the FieldEntry of one field element from its children: "type", "size" and "value"
// by exact name, the last occurrence winning; other children set nothing. With a trace sink,
// prints "name--text" for every child before interpreting it.
FieldEntry CollectFieldEntry(const xml::DomNode& field, TextSink* trace);

// The same for field after field, reusing its storage: a description of a million fields
// then costs no allocation per field.
class FieldEntryCollector {
 public:
  const FieldEntry& Collect(const xml::DomNode& field, TextSink* trace);

 private:
  FieldEntry entry_;
  std::string scratch_;
  std::string line_;
};

}  // namespace pibgen
