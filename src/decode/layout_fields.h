#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/field_entry.h"
#include "decode/layout_refusal.h"
#include "xml/read_description.h"

namespace pibgen {

// One field of a layout, as a conversion reads it, with what is needed to show it.
struct LayoutField {
  uint32_t index = 0;  // counts the root's children from 1, as --check numbers fields
  std::string_view element;
  std::span<const xml::Attribute> attributes;
  std::optional<std::string_view> name;  // the "name" attribute
  bool has_type = false;                 // whether a "type" child set entry.type
  FieldEntry entry;                      // the last "type", "size" and "value" children
  uint64_t offset = 0;                   // where the field starts in the image
  uint64_t length = 0;
};

// "field N" and, when the field has a name, its quoted name: "field 4 (\"serial\")".
std::string FieldLabel(const LayoutField& field);

// Turns the reader's events into whole fields, collected exactly as a conversion collects
// them, and stops at the first thing that makes a conversion refuse the layout: a child of the
// root that is not an element, or a negative size on a System.Byte[] or fill field.
class LayoutFields : public xml::DescriptionHandler {
 public:
  const std::optional<LayoutRefusal>& Refusal() const { return refusal_; }
  std::string_view RootName() const { return root_name_; }
  std::span<const xml::Attribute> RootAttributes() const { return root_attributes_.views; }
  uint32_t FieldCount() const { return field_count_; }
  // The image's length: the sum of the lengths of the fields read so far.
  uint64_t Length() const { return offset_; }

  bool Root(std::string_view name, std::span<const xml::Attribute> attributes, uint32_t line) final;
  bool BeginField(uint32_t index, std::string_view name, std::span<const xml::Attribute> attributes,
                  uint32_t line) final;
  bool FieldChild(xml::NodeKind kind, std::string_view name, std::string_view text,
                  uint32_t line) final;
  bool EndField() final;
  bool OtherRootChild(uint32_t index, xml::NodeKind kind, uint32_t line) final;

 protected:
  // Each field, once all its children are read; returns false to stop the read.
  virtual bool Field(const LayoutField& field) = 0;

 private:
  // Attributes copied out of the reader's call, with views into the copy.
  struct AttributeCopy {
    std::string text;
    std::vector<std::pair<size_t, size_t>> lengths;  // name, value
    std::vector<xml::Attribute> views;
    void Assign(std::span<const xml::Attribute> attributes);
  };

  std::string root_name_;
  AttributeCopy root_attributes_;
  std::string element_;
  AttributeCopy attributes_;
  LayoutField field_;
  uint32_t size_line_ = 0;
  uint32_t field_count_ = 0;
  uint64_t offset_ = 0;
  std::optional<LayoutRefusal> refusal_;
};

}  // namespace pibgen
