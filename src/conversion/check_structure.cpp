#include "conversion/check_structure.h"

#include "conversion/collect_field_entry.h"
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

// Line of the field's last "size" child, the one that sets its size.
uint32_t SizeLine(const xml::DomNode& field) {
  uint32_t line = field.Line();
  const xml::DomNodeList children = field.ChildNodes();
  for (size_t j = 0; j < children.Length(); ++j) {
    if (children.Item(j).Name() == "size") line = children.Item(j).Line();
  }
  return line;
}

}  // namespace

bool CheckStructure(const xml::DomDocument& document, const std::string& source, TextSink& out) {
  const xml::DomNodeList fields = document.DocumentElement().ChildNodes();
  for (size_t i = 0; i < fields.Length(); ++i) {
    const xml::DomNode field = fields.Item(i);
    std::string where = source + ":";
    if (!field.IsElement()) {
      out.Print(where + std::to_string(field.Line()) + ": field " + std::to_string(i + 1) + " is " +
                Describe(field.Kind()) + ", not an element\n");
      return false;
    }
    const FieldEntry entry = CollectFieldEntry(field, nullptr);
    if (entry.size < 0 && IsSizedField(entry)) {
      out.Print(where + std::to_string(SizeLine(field)) + ": field " + std::to_string(i + 1) +
                " has a negative size (" + std::to_string(entry.size) + ")\n");
      return false;
    }
  }
  return true;
}

}  // namespace pibgen
