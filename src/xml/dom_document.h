#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pibgen::xml {

enum class NodeKind : uint8_t { kElement, kText, kCData, kComment, kProcessingInstruction };

class DomDocument;
class DomNodeList;

// A handle to one node of a loaded document; cheap to copy, valid while the document lives.
class DomNode {
 public:
  NodeKind Kind() const;
  bool IsElement() const { return Kind() == NodeKind::kElement; }
  // Elements by qualified name, "#text", "#cdata-section", "#comment", and a processing
  // instruction by its target.
  std::string_view Name() const;
  // Text content (text and CDATA of the node and its descendants; a comment's or processing
  // instruction's own data) without leading and trailing XML white space.
  std::string Text() const;
  DomNodeList ChildNodes() const;
  // Line of the description the node starts on, counting from 1.
  uint32_t Line() const;
  // The value of an element's attribute by qualified name, or nothing when it has none.
  std::optional<std::string_view> Attribute(std::string_view name) const;

 private:
  friend class DomDocument;
  friend class DomNodeList;
  DomNode(const DomDocument* document, uint32_t index) : document_(document), index_(index) {}

  const DomDocument* document_;
  uint32_t index_;
};

// A node's children in document order, with constant-time access by index.
class DomNodeList {
 public:
  size_t Length() const { return count_; }
  DomNode Item(size_t i) const { return DomNode(document_, ids_[i]); }

 private:
  friend class DomNode;
  DomNodeList(const DomDocument* document, const uint32_t* ids, size_t count)
      : document_(document), ids_(ids), count_(count) {}

  const DomDocument* document_;
  const uint32_t* ids_;
  size_t count_;
};

// A parsed description held as a compact node table. Text that is only white space between
// elements forms no node. Loading never reads anything but the bytes handed in: external
// entities and DTDs are refused, and entity expansion is bounded by the input's size.
class DomDocument {
 public:
  // Returns null when the bytes are not a well-formed document or try to reach outside.
  // Then, if error_line is given, it receives the line of the first syntax error, or 0 when
  // the parser reported none (the document reached outside or grew beyond bounds).
  static std::unique_ptr<DomDocument> Load(std::string_view bytes, uint32_t* error_line = nullptr);

  DomNode DocumentElement() const { return DomNode(this, root_); }

 private:
  friend class DomNode;
  friend class DomBuilder;

  struct NodeRecord {
    NodeKind kind;
    uint32_t line;
    uint32_t name;         // index into names_
    uint32_t data_length;  // character data of text, CDATA, comment and processing instruction
    uint64_t data_offset;  // into chars_
    uint32_t first_child;  // into child_ids_
    uint32_t child_count;
  };

  // One attribute of an element. The table is ordered by element, as elements are added in
  // document order, so an element's attributes are found by binary search.
  struct AttributeRecord {
    uint32_t node;
    uint32_t name;          // index into names_
    uint64_t value_offset;  // into attribute_chars_
    uint64_t value_length;
  };

  DomDocument() = default;
  void AppendTextContent(uint32_t index, std::string& out) const;

  std::vector<NodeRecord> nodes_;
  std::vector<uint32_t> child_ids_;
  std::vector<std::string> names_;
  std::string chars_;
  std::vector<AttributeRecord> attributes_;
  std::string attribute_chars_;
  uint32_t root_ = 0;
};

}  // namespace pibgen::xml
