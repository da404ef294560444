#pragma once

#include "cli/text_sink.h"
#include "conversion/image/field_entry.h"
#include "xml/dom_document.h"

namespace pibgen {

// Builds the FieldEntry of one field element from its children: "type", "size" and "value"
// by exact name, the last occurrence winning; other children set nothing. With a trace sink,
// prints "name--text" for every child before interpreting it.
FieldEntry CollectFieldEntry(const xml::DomNode& field, TextSink* trace);

}  // namespace pibgen
