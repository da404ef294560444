#include "conversion/collect_field_entry.h"

#include <string>

#include "conversion/image/parse_decimal.h"

namespace pibgen {

FieldEntry CollectFieldEntry(const xml::DomNode& field, TextSink* trace) {
  FieldEntry entry;
  std::string line;
  const xml::DomNodeList children = field.ChildNodes();
  for (size_t j = 0; j < children.Length(); ++j) {
    const xml::DomNode child = children.Item(j);
    const std::string_view name = child.Name();
    std::string text = child.Text();
    if (trace != nullptr) {
      line.assign(name);
      line += "--";
      line += text;
      line += '\n';
      trace->Print(line);
    }
    if (name == "type") {
      entry.type = std::move(text);
    } else if (name == "size") {
      entry.size = ParseDecimal(text);
    } else if (name == "value") {
      entry.value = std::move(text);
    }
  }
  return entry;
}

}  // namespace pibgen
