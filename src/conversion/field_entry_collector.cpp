#include "conversion/collect_field_entry.h"

#include <cstring>

#include "conversion/child_name.h"
#include "conversion/image/parse_decimal.h"

namespace pibgen {

FieldEntry CollectFieldEntry(const xml::DomNode& field, TextSink* trace) {
  FieldEntryCollector collector;
  return collector.Collect(field, trace);
}

const FieldEntry& FieldEntryCollector::Collect(const xml::DomNode& field, TextSink* trace) {
  entry_.type.clear();
  entry_.size = 0;
  entry_.value.clear();
  const xml::DomNodeList children = field.ChildNodes();
  for (size_t j = 0; j < children.Length(); ++j) {
    const xml::DomNode child = children.Item(j);
    const std::string_view name = child.Name();
    const std::string_view text = child.TextView(scratch_);
    if (trace != nullptr) {
      // "name--text" and a line feed, put together in one reused buffer.
      const size_t length = name.size() + 2 + text.size() + 1;
      if (line_.size() < length) line_.resize(length * 2);
      char* out = line_.data();
      std::memcpy(out, name.data(), name.size());
      out += name.size();
      *out++ = '-';
      *out++ = '-';
      if (!text.empty()) std::memcpy(out, text.data(), text.size());
      out[text.size()] = '\n';
      trace->Print(std::string_view(line_.data(), length));
    }
    if (NameIs(name, "type")) {
      entry_.type.assign(text);
    } else if (NameIs(name, "size")) {
      entry_.size = ParseDecimal(text);
    } else if (NameIs(name, "value")) {
      entry_.value.assign(text);
    }
  }
  return entry_;
}

}  // namespace pibgen
