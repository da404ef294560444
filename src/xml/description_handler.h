#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace pibgen::xml {

// The kinds of node a description can hold where a field or a field's child stands.
enum class NodeKind { kElement, kText, kCData, kComment, kProcessingInstruction };

struct Attribute {
  std::string_view name;
  std::string_view value;
};

// Receives a description in document order from the reader. Every view is valid only during
// the call that passes it. A call returns false to stop the read early.
class DescriptionHandler {
 public:
  virtual ~DescriptionHandler() = default;
  // The root element, before anything inside it.
  virtual bool Root(std::string_view name, std::span<const Attribute> attributes,
                    uint32_t line) = 0;
  // A child of the root that is an element: a field. index counts the root's children from 1,
  // whatever their kind.
  virtual bool BeginField(uint32_t index, std::string_view name,
                          std::span<const Attribute> attributes, uint32_t line) = 0;
  // A child node of the current field, of any kind, with its node name ("#text", "#comment",
  // "#cdata-section", an element's or a processing instruction's name) and its text content
  // (the node's and its descendants' text) with leading and trailing white space removed.
  virtual bool FieldChild(NodeKind kind, std::string_view name, std::string_view text,
                          uint32_t line) = 0;
  virtual bool EndField() = 0;
  // Whether FieldChild is needed for the field children of this name ("#text" for text directly
  // in a field). The reader may leave the others out.
  virtual bool Wants(std::string_view /*child_name*/) { return true; }
  // A child of the root that is not an element, which no conversion accepts as a field.
  virtual bool OtherRootChild(uint32_t index, NodeKind kind, uint32_t line) = 0;
};

}  // namespace pibgen::xml
