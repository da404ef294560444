#include "decode/layout_fields.h"

#include "check/quote_text.h"
#include "convert/child_name.h"
#include "format/parse_decimal.h"
#include "format/write_field.h"
#include "convert/structure_rules.h"

namespace pibgen {

std::string FieldLabel(const LayoutField& field) {
  std::string label = "field " + std::to_string(field.index);
  if (field.name) label += " (" + QuoteText(*field.name) + ")";
  return label;
}

void LayoutFields::AttributeCopy::Assign(std::span<const xml::Attribute> attributes) {
  text.clear();
  lengths.clear();
  views.clear();
  for (const xml::Attribute& attribute : attributes) {
    text.append(attribute.name);
    text.append(attribute.value);
    lengths.emplace_back(attribute.name.size(), attribute.value.size());
  }
  // Views only once the text has stopped growing.
  size_t at = 0;
  for (const auto& [name, value] : lengths) {
    const std::string_view all(text);
    views.push_back({all.substr(at, name), all.substr(at + name, value)});
    at += name + value;
  }
}

bool LayoutFields::Root(std::string_view name, std::span<const xml::Attribute> attributes,
                        uint32_t /*line*/) {
  root_name_.assign(name);
  root_attributes_.Assign(attributes);
  return true;
}

bool LayoutFields::BeginField(uint32_t index, std::string_view name,
                              std::span<const xml::Attribute> attributes, uint32_t line) {
  element_.assign(name);
  attributes_.Assign(attributes);
  field_.index = index;
  field_.element = element_;
  field_.attributes = attributes_.views;
  field_.name.reset();
  for (const xml::Attribute& attribute : attributes_.views) {
    if (attribute.name == "name") field_.name = attribute.value;
  }
  field_.has_type = false;
  field_.entry.type.clear();
  field_.entry.size = 0;
  field_.entry.value.clear();
  size_line_ = line;
  return true;
}

bool LayoutFields::FieldChild(xml::NodeKind /*kind*/, std::string_view name, std::string_view text,
                              uint32_t line) {
  // By name alone, whatever the kind of node, as the conversion collects a field.
  if (NameIs(name, "type")) {
    field_.entry.type.assign(text);
    field_.has_type = true;
  } else if (NameIs(name, "size")) {
    field_.entry.size = ParseDecimal(text);
    size_line_ = line;
  } else if (NameIs(name, "value")) {
    field_.entry.value.assign(text);
  }
  return true;
}

bool LayoutFields::EndField() {
  if (field_.entry.size < 0 && IsSizedField(field_.entry)) {
    refusal_ = LayoutRefusal{size_line_, FieldLabel(field_) + ": negative size (" +
                                             std::to_string(field_.entry.size) +
                                             "); the conversion refuses the description"};
    return false;
  }
  ++field_count_;
  field_.offset = offset_;
  field_.length = FieldLength(field_.entry);
  offset_ += field_.length;
  return Field(field_);
}

bool LayoutFields::OtherRootChild(uint32_t index, xml::NodeKind kind, uint32_t line) {
  refusal_ =
      LayoutRefusal{line, NotAnElement(index, kind) + "; the conversion refuses the description"};
  return false;
}

}  // namespace pibgen
