#include "convert/structure_rules.h"

namespace pibgen {
namespace {

const char* Describe(xml::NodeKind kind) {
  switch (kind) {
    case xml::NodeKind::kText:
      return "text";
    case xml::NodeKind::kCData:
      return "a CDATA section";
    case xml::NodeKind::kComment:
      return "a comment";
    case xml::NodeKind::kProcessingInstruction:
      return "a processing instruction";
    case xml::NodeKind::kElement:
      break;
  }
  return "an element";
}

}  // namespace

std::string NotAnElement(uint32_t field, xml::NodeKind kind) {
  return "field " + std::to_string(field) + " is " + Describe(kind) + ", not an element";
}

}  // namespace pibgen
