#include "conversion/check_structure.h"

#include "conversion/child_name.h"
#include "conversion/describe_node_kind.h"
#include "conversion/image/parse_decimal.h"
#include "conversion/image/write_field.h"

namespace pibgen {

bool CheckStructure(const xml::DomDocument& document, const std::string& source, TextSink& out) {
  std::string scratch;
  const xml::DomNodeList fields = document.DocumentElement().ChildNodes();
  for (size_t i = 0; i < fields.Length(); ++i) {
    const xml::DomNode field = fields.Item(i);
    if (!field.IsElement()) {
      out.Print(source + ":" + std::to_string(field.Line()) + ": field " + std::to_string(i + 1) +
                " is " + DescribeNodeKind(field.Kind()) + ", not an element\n");
      return false;
    }
    // Only the last "type" and "size" children count; their texts are looked at in place,
    // and the type only when the size is negative.
    const xml::DomNodeList children = field.ChildNodes();
    size_t type_child = children.Length();
    size_t size_child = children.Length();
    for (size_t j = 0; j < children.Length(); ++j) {
      const std::string_view name = children.Item(j).Name();
      if (NameIs(name, "type")) {
        type_child = j;
      } else if (NameIs(name, "size")) {
        size_child = j;
      }
    }
    if (size_child == children.Length()) continue;
    const int32_t size = ParseDecimal(children.Item(size_child).TextView(scratch));
    if (size >= 0) continue;
    std::string_view type;
    if (type_child < children.Length()) type = children.Item(type_child).TextView(scratch);
    const uint32_t size_line = children.Item(size_child).Line();
    if (IsSizedType(type)) {
      out.Print(source + ":" + std::to_string(size_line) + ": field " + std::to_string(i + 1) +
                " has a negative size (" + std::to_string(size) + ")\n");
      return false;
    }
  }
  return true;
}

}  // namespace pibgen
