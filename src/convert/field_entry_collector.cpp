#include "convert/field_entry_collector.h"

#include <cstring>

#include "convert/child_name.h"
#include "format/parse_decimal.h"

namespace pibgen {

void FieldEntryCollector::Begin() {
  entry_.type.clear();
  entry_.size = 0;
  entry_.value.clear();
}

void FieldEntryCollector::Add(std::string_view name, std::string_view text, TextSink* trace) {
  // A long text goes to the trace as it is rather than through another copy of it.
  constexpr size_t kLongText = size_t{1} << 16;
  if (trace != nullptr && text.size() >= kLongText) {
    trace->Print(name);
    trace->Print("--");
    trace->Print(text);
    trace->Print("\n");
  } else if (trace != nullptr) {
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

}  // namespace pibgen
