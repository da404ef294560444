#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xml/description_handler.h"
#include "xml/growing_array.h"
#include "xml/libxml_sax_parser.h"

namespace pibgen::xml {

// Whether a load records the elements' attributes. The conversion never looks at them, and a
// description names most of its fields, so it leaves them out.
enum class Attributes : uint8_t { kKeep, kDrop };

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
  // The same text without a copy where the document holds it in one piece (the text of an
  // element with a single text child, of a text node, ...); otherwise it is gathered into
  // scratch. The view lives as long as the document and scratch.
  std::string_view TextView(std::string& scratch) const;
  DomNodeList ChildNodes() const;
  // Line of the description the node starts on, counting from 1.
  uint32_t Line() const;
  // The value of an element's attribute by qualified name, or nothing when it has none (or
  // the document was loaded without attributes).
  std::optional<std::string_view> Attribute(std::string_view name) const;

 private:
  friend class DomDocument;
  friend class DomNodeList;
  DomNode(const DomDocument* document, uint32_t index) : document_(document), index_(index) {}
  // The record of this node, or of the element holding it when it is a folded text child.
  uint32_t RecordIndex() const;
  // TextView of an element whose text lies in more than one place.
  std::string_view GatherText(std::string& scratch) const;

  const DomDocument* document_;
  uint32_t index_;
};

// A node's children in document order, with constant-time access by index.
class DomNodeList {
 public:
  size_t Length() const { return count_; }
  DomNode Item(size_t i) const {
    return DomNode(document_, ids_ != nullptr ? ids_[i] : first_ + static_cast<uint32_t>(i));
  }

 private:
  friend class DomNode;
  friend class DomDocument;
  DomNodeList(const DomDocument* document, const uint32_t* ids, size_t count)
      : document_(document), ids_(ids), count_(count) {}
  // Children whose indexes follow one another (or the one folded text child).
  DomNodeList(const DomDocument* document, uint32_t first, size_t count)
      : document_(document), ids_(nullptr), count_(count), first_(first) {}

  const DomDocument* document_;
  const uint32_t* ids_;
  size_t count_;
  uint32_t first_ = 0;
};

// A parsed description held as a compact node table. Text that is only white space between
// elements forms no node. Loading never reads anything but the bytes handed in: external
// entities and DTDs are refused, and entity expansion is bounded by the input's size.
class DomDocument {
 public:
  // Returns null when the bytes are not a well-formed document, try to reach outside, refer
  // to an entity they do not declare, or exceed a limit. Then, if error is given, it says
  // which, and where when known.
  static std::unique_ptr<DomDocument> Load(std::string_view bytes, LoadError* error = nullptr,
                                           Attributes attributes = Attributes::kKeep);

  // Reads up to `capacity` bytes into `buffer`; returns how many, 0 at the end, -1 on failure.
  using ReadFunction = std::function<ptrdiff_t(char* buffer, size_t capacity)>;
  // The same, reading the document piece by piece, so it is never held whole. Null also
  // when a read fails.
  static std::unique_ptr<DomDocument> Load(const ReadFunction& read, LoadError* error = nullptr,
                                           Attributes attributes = Attributes::kKeep);

  DomNode DocumentElement() const { return DomNode(this, root_); }

 private:
  friend class DomNode;
  friend class DomBuilder;

  // How an element's record holds its children.
  enum Form : uint8_t {
    kListed,  // in child_ids_, from first, count of them
    kFolded,  // one text child, kept in the element's own record
    kRun,     // count records from index first on: children of one record each
  };

  // One node in 24 bytes. An element whose only child is a text node keeps that text in
  // its own record ("folded"): most elements of a description are like that, and the text
  // node then costs no record. A folded text child is addressed as its element's index
  // with kFoldedText set. An element whose children take one record each, one after the
  // other, (a typical field) needs no child table entries either.
  struct NodeRecord {
    uint32_t line;
    uint32_t name;  // index into names_
    // An element: its children (see Form). A character node or a folded element: the low
    // 32 bits of its text's offset in chars_, and the text's length.
    uint32_t first;
    uint32_t count;
    NodeKind kind;
    uint8_t offset_high;      // bits 32 to 39 of the text's offset
    uint8_t text_line_delta;  // a folded element: its text's line minus its own
    Form form;
  };
  static constexpr uint32_t kFoldedText = uint32_t{1} << 31;
  static constexpr uint64_t kMaxCharsOffset = (uint64_t{1} << 40) - 1;

  // One attribute of an element. The table is ordered by element, as elements are added in
  // document order, so an element's attributes are found by binary search.
  struct AttributeRecord {
    uint32_t node;
    uint32_t name;          // index into names_
    uint64_t value_offset;  // into attribute_chars_
    uint64_t value_length;
  };

  DomDocument() = default;
  static uint64_t DataOffset(const NodeRecord& record) {
    return (uint64_t{record.offset_high} << 32) | record.first;
  }
  std::string_view Data(const NodeRecord& record) const {
    return std::string_view(chars_.data() + DataOffset(record), record.count);
  }
  DomNodeList Children(uint32_t index) const;
  void AppendTextContent(uint32_t index, std::string& out) const;

  GrowingArray<NodeRecord> nodes_;
  GrowingArray<uint32_t> child_ids_;
  std::vector<std::string> names_;
  GrowingArray<char> chars_;
  std::vector<AttributeRecord> attributes_;
  std::string attribute_chars_;
  uint32_t root_ = 0;
};

// The accessors are here so the walk over a million fields inlines them.

inline std::string_view TrimXmlSpace(std::string_view text) {
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && is_space(text[begin])) ++begin;
  while (end > begin && is_space(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

inline uint32_t DomNode::RecordIndex() const { return index_ & ~DomDocument::kFoldedText; }

inline NodeKind DomNode::Kind() const {
  if (index_ & DomDocument::kFoldedText) return NodeKind::kText;
  return document_->nodes_[index_].kind;
}

inline std::string_view DomNode::Name() const {
  if (index_ & DomDocument::kFoldedText) return "#text";
  return document_->names_[document_->nodes_[index_].name];
}

inline uint32_t DomNode::Line() const {
  const DomDocument::NodeRecord& record = document_->nodes_[RecordIndex()];
  if (index_ & DomDocument::kFoldedText) return record.line + record.text_line_delta;
  return record.line;
}

inline DomNodeList DomNode::ChildNodes() const {
  if (index_ & DomDocument::kFoldedText) return DomNodeList(document_, nullptr, 0);
  return document_->Children(index_);
}

inline DomNodeList DomDocument::Children(uint32_t index) const {
  const NodeRecord& record = nodes_[index];
  if (record.kind != NodeKind::kElement) return DomNodeList(this, nullptr, 0);
  switch (record.form) {
    case kFolded:
      return DomNodeList(this, index | kFoldedText, 1);
    case kRun:
      return DomNodeList(this, record.first, record.count);
    case kListed:
      break;
  }
  // An element without children has no place in the child table to point at.
  if (record.count == 0) return DomNodeList(this, nullptr, 0);
  return DomNodeList(this, child_ids_.data() + record.first, record.count);
}

inline std::string_view DomNode::TextView(std::string& scratch) const {
  const DomDocument::NodeRecord& record = document_->nodes_[RecordIndex()];
  if (record.kind != NodeKind::kElement || record.form == DomDocument::kFolded) {
    return TrimXmlSpace(document_->Data(record));
  }
  return GatherText(scratch);
}

}  // namespace pibgen::xml
