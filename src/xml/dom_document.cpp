#include "xml/dom_document.h"

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

constexpr std::string_view kTextName = "#text";

}  // namespace

std::unique_ptr<DomDocument> DomDocument::Load(std::string_view bytes) {
  size_t position = 0;
  return DomBuilder::Build([&](char* buffer, size_t capacity) -> ptrdiff_t {
    const size_t take = std::min(capacity, bytes.size() - position);
    bytes.copy(buffer, take, position);
    position += take;
    return static_cast<ptrdiff_t>(take);
  });
}

std::unique_ptr<DomDocument> DomDocument::Load(const ReadFunction& read) {
  return DomBuilder::Build(read);
}

uint32_t DomNode::RecordIndex() const { return index_ & ~DomDocument::kFoldedText; }

NodeKind DomNode::Kind() const {
  if (index_ & DomDocument::kFoldedText) return NodeKind::kText;
  return document_->nodes_[index_].kind;
}

std::string_view DomNode::Name() const {
  if (index_ & DomDocument::kFoldedText) return kTextName;
  return document_->names_[document_->nodes_[index_].name];
}

uint32_t DomNode::Line() const {
  const DomDocument::NodeRecord& record = document_->nodes_[RecordIndex()];
  if (index_ & DomDocument::kFoldedText) return record.line + record.text_line_delta;
  return record.line;
}

DomNodeList DomNode::ChildNodes() const {
  if (index_ & DomDocument::kFoldedText) return DomNodeList(document_, nullptr, 0);
  return document_->Children(index_);
}

DomNodeList DomDocument::Children(uint32_t index) const {
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
  return DomNodeList(this, child_ids_.data() + record.first, record.count);
}

std::string_view DomNode::TextView(std::string& scratch) const {
  const DomDocument::NodeRecord& record = document_->nodes_[RecordIndex()];
  if (record.kind != NodeKind::kElement || record.form == DomDocument::kFolded) {
    return TrimXmlSpace(document_->Data(record));
  }
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
