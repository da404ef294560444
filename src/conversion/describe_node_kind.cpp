#include "conversion/describe_node_kind.h"

namespace pibgen {

const char* DescribeNodeKind(xml::NodeKind kind) {
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

}  // namespace pibgen
