#include "xml/dom_document.h"

#include <algorithm>

#include "xml/dom_builder.h"

namespace pibgen::xml {

std::unique_ptr<DomDocument> DomDocument::Load(std::string_view bytes, LoadError* error,
                                               Attributes attributes) {
  size_t position = 0;
  return DomBuilder::Build(
      [&](char* buffer, size_t capacity) -> ptrdiff_t {
        const size_t take = std::min(capacity, bytes.size() - position);
        bytes.copy(buffer, take, position);
        position += take;
        return static_cast<ptrdiff_t>(take);
      },
      error, attributes);
}

std::unique_ptr<DomDocument> DomDocument::Load(const ReadFunction& read, LoadError* error,
                                               Attributes attributes) {
  return DomBuilder::Build(read, error, attributes);
}

std::optional<std::string_view> DomNode::Attribute(std::string_view name) const {
  const auto& table = document_->attributes_;
  auto it = std::lower_bound(
      table.begin(), table.end(), index_,
      [](const DomDocument::AttributeRecord& record, uint32_t node) { return record.node < node; });
  for (; it != table.end() && it->node == index_; ++it) {
    if (document_->names_[it->name] == name) {
      return std::string_view(document_->attribute_chars_)
          .substr(it->value_offset, it->value_length);
    }
  }
  return std::nullopt;
}

std::string_view DomNode::GatherText(std::string& scratch) const {
  scratch.clear();
  document_->AppendTextContent(index_, scratch);
  return TrimXmlSpace(scratch);
}

std::string DomNode::Text() const {
  std::string scratch;
  const std::string_view text = TextView(scratch);
  if (text.size() == scratch.size()) return scratch;
  return std::string(text);
}

// Collects text and CDATA below an element in document order. Iterative, because a
// description may nest elements far deeper than the call stack allows.
void DomDocument::AppendTextContent(uint32_t index, std::string& out) const {
  struct Frame {
    DomNodeList children;
    size_t next;
  };
  std::vector<Frame> stack;
  stack.push_back({Children(index), 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.children.Length()) {
      stack.pop_back();
      continue;
    }
    const uint32_t child = frame.children.Item(frame.next++).index_;
    if (child & kFoldedText) {
      out.append(Data(nodes_[child & ~kFoldedText]));
      continue;
    }
    const NodeRecord& node = nodes_[child];
    if (node.kind == NodeKind::kText || node.kind == NodeKind::kCData ||
        (node.kind == NodeKind::kElement && node.form == kFolded)) {
      out.append(Data(node));
    } else if (node.kind == NodeKind::kElement && node.count > 0) {
      stack.push_back({Children(child), 0});
    }
  }
}

}  // namespace pibgen::xml
