#pragma once

#include "xml/dom_document.h"

namespace pibgen {

// What a node is, in the words messages use: "text", "a comment", "a CDATA section",
// "a processing instruction", "an element".
const char* DescribeNodeKind(xml::NodeKind kind);

}  // namespace pibgen
