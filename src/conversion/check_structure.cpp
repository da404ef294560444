#include "conversion/check_structure.h"

#include "conversion/child_name.h"
#include "conversion/image/parse_decimal.h"
#include "conversion/image/write_field.h"

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

bool CheckStructure(const xml::DomDocument& document, const std::string& source, TextSink& out) {
  std::string type_scratch;
  std::string size_scratch;
  const xml::DomNodeList fields = document.DocumentElement().ChildNodes();
  for (size_t i = 0; i < fields.Length(); ++i) {
    const xml::DomNode field = fields.Item(i);
    if (!field.IsElement()) {
      out.Print(source + ":" + std::to_string(field.Line()) + ": field " + std::to_string(i + 1) +
                " is " + Describe(field.Kind()) + ", not an element\n");
      return false;
    }
    // Only the last "type" and "size" children count; their texts are looked at in place.
    std::string_view type;
    int32_t size = 0;
    uint32_t size_line = field.Line();
    const xml::DomNodeList children = field.ChildNodes();
    for (size_t j = 0; j < children.Length(); ++j) {
      const xml::DomNode child = children.Item(j);
      const std::string_view name = child.Name();
      if (NameIs(name, "type")) {
        type = child.TextView(type_scratch);
      } else if (NameIs(name, "size")) {
        size = ParseDecimal(child.TextView(size_scratch));
        size_line = child.Line();
      }
    }
    if (size < 0 && IsSizedType(type)) {
      out.Print(source + ":" + std::to_string(size_line) + ": field " + std::to_string(i + 1) +
                " has a negative size (" + std::to_string(size) + ")\n");
      return false;
    }
  }
  return true;
}

}  // namespace pibgen
