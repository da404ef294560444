#pragma once

#include <string>

#include "cli/text_sink.h"
#include "xml/dom_document.h"

namespace pibgen {

// Looks over a loaded description for what would make the conversion fail half-way: a child
// of the root that is not an element, and a negative size on a sized field. Prints one line
// naming the first problem and where it is, and returns false; the destination has not been
// touched yet at this point.
bool CheckStructure(const xml::DomDocument& document, const std::string& source, TextSink& out);

}  // namespace pibgen
