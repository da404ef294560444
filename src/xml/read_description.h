#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "file/file_system.h"

namespace pibgen::xml {

// The kinds of node that stand where a field or a field's child does.
enum class NodeKind { kElement, kText, kCData, kComment, kProcessingInstruction };

struct Attribute {
  std::string_view name;
  std::string_view value;
};

// A namespace declaration an element carries: xmlns="uri" (no prefix) or xmlns:prefix="uri".
struct Namespace {
  std::string_view prefix;
  std::string_view uri;
};

// Receives a description in document order. Views are valid only during the call that passes
// them; a call returns false to stop the read.
class DescriptionHandler {
 public:
  virtual ~DescriptionHandler() = default;
  virtual bool Root(std::string_view name, std::span<const Attribute> attributes,
                    std::span<const Namespace> namespaces, uint32_t line) = 0;
  // A child of the root that is an element: a field. index counts the root's children from 1.
  virtual bool BeginField(uint32_t index, std::string_view name,
                          std::span<const Attribute> attributes,
                          std::span<const Namespace> namespaces, uint32_t line) = 0;
  // A child node of the current field with its node name ("#text", "#comment", "#cdata-section",
  // an element's or an instruction's name) and its text content, trimmed of white space.
  virtual bool FieldChild(NodeKind kind, std::string_view name, std::string_view text,
                          uint32_t line) = 0;
  virtual bool EndField() = 0;
  // A child of the root that is not an element, which no conversion accepts.
  virtual bool OtherRootChild(uint32_t index, NodeKind kind, uint32_t line) = 0;
  // Whether Root and BeginField are to be given the attributes and namespace declarations;
  // without, they get none, and a read of many fields goes faster.
  virtual bool WantsAttributes() const { return true; }
};

enum class ReadFailure {
  kNone,
  kUnreadable,        // the source could not be read
  kNotWellFormed,     // not XML, or not in an encoding the parser knows
  kExternalEntity,    // a reference to an external entity or DTD, which is never read
  kUndeclaredEntity,  // a reference to an entity the document does not declare
  kTooDeep,           // elements nest deeper than MaxNestingDepth()
  kBeyondBounds,      // entities expand far beyond what the input holds
  kStopped,           // the handler returned false
};

struct ReadResult {
  ReadFailure failure = ReadFailure::kNone;
  uint32_t line = 0;   // where the document went wrong, when known; 0 otherwise
  std::string entity;  // the entity failures: the reference, "&name;" or "%name;"
  bool ok() const { return failure == ReadFailure::kNone; }
};

uint32_t MaxNestingDepth();  // the deepest the parser lets elements nest

// Reads the description from source to its end and hands it to handler in document order,
// holding no more of it than the field child being read. White space between elements forms
// no node; entities are replaced by their text; nothing outside source is read. The handler
// may have been told of fields before a failure is found.
ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler);

}  // namespace pibgen::xml
