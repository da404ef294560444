#include "xml/dom_document.h"

#include <algorithm>

#include "xml/dom_builder.h"

namespace pibgen::xml {
namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimXmlSpace(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsXmlSpace(text[begin])) ++begin;
  while (end > begin && IsXmlSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::unique_ptr<DomDocument> DomDocument::Load(std::string_view bytes, uint32_t* error_line) {
  return DomBuilder::Build(bytes, error_line);
}

NodeKind DomNode::Kind() const { return document_->nodes_[index_].kind; }

std::string_view DomNode::Name() const { return document_->names_[document_->nodes_[index_].name]; }

uint32_t DomNode::Line() const { return document_->nodes_[index_].line; }

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

DomNodeList DomNode::ChildNodes() const {
  const DomDocument::NodeRecord& record = document_->nodes_[index_];
  return DomNodeList(document_, document_->child_ids_.data() + record.first_child,
                     record.child_count);
}

std::string DomNode::Text() const {
  const DomDocument::NodeRecord& record = document_->nodes_[index_];
  if (record.kind != NodeKind::kElement) {
    return std::string(TrimXmlSpace(
        std::string_view(document_->chars_).substr(record.data_offset, record.data_length)));
  }
  std::string content;
  document_->AppendTextContent(index_, content);
  std::string_view trimmed = TrimXmlSpace(content);
  if (trimmed.size() == content.size()) return content;
  return std::string(trimmed);
}

// Collects text and CDATA below an element in document order. Iterative, because a
// description may nest elements far deeper than the call stack allows.
void DomDocument::AppendTextContent(uint32_t index, std::string& out) const {
  struct Frame {
    const uint32_t* next;
    const uint32_t* end;
  };
  std::vector<Frame> stack;
  const NodeRecord& start = nodes_[index];
  stack.push_back({child_ids_.data() + start.first_child,
                   child_ids_.data() + start.first_child + start.child_count});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.end) {
      stack.pop_back();
      continue;
    }
    const NodeRecord& node = nodes_[*frame.next++];
    if (node.kind == NodeKind::kText || node.kind == NodeKind::kCData) {
      out.append(chars_, node.data_offset, node.data_length);
    } else if (node.kind == NodeKind::kElement && node.child_count > 0) {
      stack.push_back({child_ids_.data() + node.first_child,
                       child_ids_.data() + node.first_child + node.child_count});
    }
  }
}

}  // namespace pibgen::xml
