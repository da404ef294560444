#include "xml/read_description.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "xml/libxml_sax_parser.h"

namespace pibgen::xml {
namespace {

// Entities may add this much text beyond what the input holds, and this many nodes beyond one
// for every two bytes read; past that the description counts as an expansion bomb.
constexpr uint64_t kExpansionAllowance = uint64_t{16} << 20;
constexpr uint64_t kNodeAllowance = uint64_t{1} << 20;
constexpr size_t kBlockSize = size_t{256} << 10;

// Depth of the open elements: the root is 1, a field 2, a field's element child 3.
constexpr uint32_t kInRoot = 1;
constexpr uint32_t kInField = 2;
constexpr uint32_t kInChild = 3;

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}
std::string_view View(const xmlChar* text, int length) {
  return {reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0))};
}

class Reader {
 public:
  Reader(file::SourceFile& source, DescriptionHandler& handler)
      : source_(source), handler_(handler) {}
  ReadResult Run();

 private:
  static int Read(void* self, char* buffer, int length);
  bool Refill();
  // Runs one callback's step on the reader behind ctx; none once the read has failed.
  template <typename Step>
  static void Guard(void* ctx, Step step);
  void StartElement(std::string_view name, int attribute_count, const xmlChar** attributes);
  void EndElement();
  void Characters(std::string_view text);
  void Leaf(NodeKind kind, std::string_view name, std::string_view data);
  void CloseRun();
  void Deliver(bool go_on) {
    if (!go_on) Fail(ReadFailure::kStopped);
  }
  // Counts text kept and nodes met against what the input read so far allows.
  void Spend(uint64_t chars, uint64_t nodes) {
    chars_ += chars;
    nodes_ += nodes;
    if (chars_ > chars_limit_ || nodes_ > nodes_limit_) CheckBounds();
  }
  void CheckBounds();
  void Fail(ReadFailure failure);
  uint32_t Line() const { return LibxmlSaxParser::Line(ctx_); }

  file::SourceFile& source_;
  DescriptionHandler& handler_;
  void* ctx_ = nullptr;  // the parser context of the callback running
  ReadFailure failure_ = ReadFailure::kNone;
  std::vector<char> block_;  // the source is read a block at a time
  size_t block_begin_ = 0;
  size_t block_end_ = 0;
  bool unreadable_ = false;
  bool at_end_ = false;
  uint64_t bytes_read_ = 0;
  uint64_t chars_ = 0;
  uint64_t nodes_ = 0;
  // Bounds below which Spend need not look at the input again; they only grow.
  uint64_t chars_limit_ = 0;
  uint64_t nodes_limit_ = 0;
  uint32_t depth_ = 0;
  bool had_root_ = false;
  uint32_t root_children_ = 0;
  std::vector<Attribute> attributes_;
  std::vector<std::string> qualified_names_;
  // The field child being read: its name and line, and its text so far.
  std::string child_name_;
  uint32_t child_line_ = 0;
  std::string text_;
  // A run of characters not yet ended by another node. Until something visible comes it may
  // be white space between elements, which forms no node: run_start_ is where it began in
  // text_, run_chars_ how much it has added there.
  bool run_open_ = false;
  bool run_visible_ = false;
  size_t run_start_ = 0;
  uint64_t run_chars_ = 0;
};

// Hands libxml2 the pieces it asks for out of large reads of the source.
int Reader::Read(void* self, char* buffer, int length) {
  Reader& reader = *static_cast<Reader*>(self);
  if (reader.block_begin_ == reader.block_end_ && !reader.Refill()) return -1;
  const size_t take =
      std::min(static_cast<size_t>(std::max(length, 0)), reader.block_end_ - reader.block_begin_);
  std::memcpy(buffer, reader.block_.data() + reader.block_begin_, take);
  reader.block_begin_ += take;
  return static_cast<int>(take);
}

// Fills the block as far as the source goes. Short reads are gathered up: the parser needs
// the first bytes together to tell the encoding.
bool Reader::Refill() {
  block_.resize(kBlockSize);
  block_begin_ = 0;
  block_end_ = 0;
  while (!at_end_ && block_end_ < kBlockSize) {
    const ptrdiff_t piece = source_.Read(block_.data() + block_end_, kBlockSize - block_end_);
    if (piece < 0 || static_cast<size_t>(piece) > kBlockSize - block_end_) {
      unreadable_ = true;
      return false;
    }
    at_end_ = piece == 0;
    block_end_ += static_cast<size_t>(piece);
    bytes_read_ += static_cast<uint64_t>(piece);
  }
  return true;
}

// An exception must not unwind through libxml2: running out of memory fails the read.
template <typename Step>
void Reader::Guard(void* ctx, Step step) {
  Reader& reader = *static_cast<Reader*>(LibxmlSaxParser::User(ctx));
  if (reader.failure_ != ReadFailure::kNone) return;
  reader.ctx_ = ctx;
  try {
    step(reader);
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

ReadResult Reader::Run() {
  xmlSAXHandler content;
  std::memset(&content, 0, sizeof content);
  content.startElementNs = [](void* ctx, const xmlChar* name, const xmlChar* prefix, const xmlChar*,
                              int, const xmlChar**, int count, int, const xmlChar** attributes) {
    Guard(ctx, [&](Reader& reader) {
      if (prefix == nullptr) return reader.StartElement(View(name), count, attributes);
      const std::string qualified = std::string(View(prefix)) + ":" + std::string(View(name));
      reader.StartElement(qualified, count, attributes);
    });
  };
  content.endElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    Guard(ctx, [](Reader& reader) { reader.EndElement(); });
  };
  content.characters = [](void* ctx, const xmlChar* text, int length) {
    Guard(ctx, [&](Reader& reader) { reader.Characters(View(text, length)); });
  };
  content.ignorableWhitespace = content.characters;
  content.cdataBlock = [](void* ctx, const xmlChar* text, int length) {
    Guard(ctx, [&](Reader& r) { r.Leaf(NodeKind::kCData, "#cdata-section", View(text, length)); });
  };
  content.comment = [](void* ctx, const xmlChar* text) {
    Guard(ctx, [&](Reader& reader) { reader.Leaf(NodeKind::kComment, "#comment", View(text)); });
  };
  content.processingInstruction = [](void* ctx, const xmlChar* target, const xmlChar* data) {
    Guard(ctx, [&](Reader& reader) {
      reader.Leaf(NodeKind::kProcessingInstruction, View(target), View(data));
    });
  };

  LibxmlSaxParser parser(content, this, Read, this);
  if (parser.Created()) parser.Parse();
  ctx_ = nullptr;
  CloseRun();
  const LoadError error = parser.Result();
  ReadResult result{ReadFailure::kNotWellFormed, error.line, error.entity, bytes_read_};
  switch (error.failure) {
    case LoadFailure::kNone:
      if (had_root_ && depth_ == 0) result.failure = ReadFailure::kNone;
      break;
    case LoadFailure::kSyntax:
      break;
    case LoadFailure::kExternalEntity:
      result.failure = ReadFailure::kExternalEntity;
      break;
    case LoadFailure::kUndeclaredEntity:
      result.failure = ReadFailure::kUndeclaredEntity;
      break;
    case LoadFailure::kNestingDepth:
      result.failure = ReadFailure::kTooDeep;
      break;
    case LoadFailure::kEntityExpansion:
      result.failure = ReadFailure::kBeyondBounds;
      break;
    case LoadFailure::kReader:  // stopped here, for one of the reasons below
      result = {failure_, 0, {}, bytes_read_};
  }
  if (unreadable_) {
    result = {ReadFailure::kUnreadable, 0, {}, bytes_read_};
  } else if (bytes_read_ == 0) {
    result = {ReadFailure::kNotWellFormed, 1, {}, 0};  // libxml2 makes nothing of no bytes
  }
  return result;
}

void Reader::Fail(ReadFailure failure) {
  if (failure_ == ReadFailure::kNone) failure_ = failure;
  if (ctx_ != nullptr) LibxmlSaxParser::Stop(ctx_);
}

void Reader::CheckBounds() {
  chars_limit_ = bytes_read_ + kExpansionAllowance;
  nodes_limit_ = bytes_read_ / 2 + kNodeAllowance;
  if (chars_ > chars_limit_ || nodes_ > nodes_limit_) Fail(ReadFailure::kBeyondBounds);
}

// Ends a run of characters. Visible text directly in a field is a child of its own; a run
// that stayed white space is dropped, also from the text of an element child.
void Reader::CloseRun() {
  if (!run_open_) return;
  run_open_ = false;
  if (!run_visible_) {
    chars_ -= run_chars_;
    text_.resize(run_start_);
  } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
    Deliver(handler_.FieldChild(NodeKind::kText, "#text", Trim(text_), child_line_));
  }
  run_visible_ = false;
}

void Reader::StartElement(std::string_view name, int attribute_count, const xmlChar** attributes) {
  CloseRun();
  if (depth_ == 0 && had_root_) return Fail(ReadFailure::kNotWellFormed);
  ++depth_;
  Spend(0, 1);
  if (failure_ != ReadFailure::kNone) return;  // a stopped parser may have freed what it passed
  if (depth_ == kInChild) {
    child_name_.assign(name.data(), name.size());
    child_line_ = Line();
    text_.clear();
  }
  if (depth_ > kInField) return;
  // Five pointers an attribute: local name, prefix, namespace, and the value's start and end.
  const auto count = static_cast<size_t>(attribute_count);
  attributes_.resize(count);
  if (qualified_names_.size() < count) qualified_names_.resize(count);
  uint64_t value_chars = 0;
  for (size_t i = 0; i < count; ++i) {
    const xmlChar* const* attribute = attributes + 5 * i;
    std::string_view attribute_name = View(attribute[0]);
    if (attribute[1] != nullptr) {
      qualified_names_[i].assign(View(attribute[1])).append(":").append(attribute_name);
      attribute_name = qualified_names_[i];
    }
    attributes_[i] = {attribute_name,
                      View(attribute[3], static_cast<int>(attribute[4] - attribute[3]))};
    value_chars += attributes_[i].value.size();
  }
  Spend(value_chars, 0);
  if (failure_ != ReadFailure::kNone) return;
  if (depth_ == kInRoot) {
    had_root_ = true;
    Deliver(handler_.Root(name, attributes_, Line()));
  } else {
    Deliver(handler_.BeginField(++root_children_, name, attributes_, Line()));
  }
}

void Reader::EndElement() {
  CloseRun();
  if (depth_ == kInChild && failure_ == ReadFailure::kNone) {
    Deliver(handler_.FieldChild(NodeKind::kElement, child_name_, Trim(text_), child_line_));
  } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
    Deliver(handler_.EndField());
  }
  if (depth_ > 0) --depth_;
}

void Reader::Characters(std::string_view text) {
  if (depth_ == 0) return;
  if (!run_open_) {
    run_open_ = true;
    run_chars_ = 0;
    if (depth_ == kInField) text_.clear();
    run_start_ = text_.size();
  }
  run_chars_ += text.size();
  Spend(text.size(), 0);
  if (failure_ != ReadFailure::kNone) return;  // a stopped parser may have freed text
  if (!run_visible_) {
    const auto visible =
        std::find_if(text.begin(), text.end(), [](char c) { return !IsXmlSpace(c); });
    if (visible == text.end() && depth_ <= kInField) return;  // trimmed or dropped anyway
    if (visible != text.end()) {
      run_visible_ = true;
      if (depth_ <= kInField) {
        // The text's line is the one its first visible character is on. The parser reports
        // text once it has read it, so that is the line feeds after it back.
        const auto after = static_cast<uint32_t>(std::count(visible, text.end(), '\n'));
        child_line_ = std::max(Line(), after + 1) - after;
      }
      Spend(0, 1);
      if (failure_ != ReadFailure::kNone) return;
      if (depth_ == kInRoot) {
        return Deliver(handler_.OtherRootChild(++root_children_, NodeKind::kText, child_line_));
      }
    }
  }
  if (depth_ > kInRoot) text_.append(text);
}

// A node that is whole in one callback: CDATA, a comment, a processing instruction.
void Reader::Leaf(NodeKind kind, std::string_view name, std::string_view data) {
  CloseRun();
  if (depth_ == 0) return;
  Spend(data.size(), 1);
  if (failure_ != ReadFailure::kNone) return;
  if (depth_ == kInRoot) {
    Deliver(handler_.OtherRootChild(++root_children_, kind, Line()));
  } else if (depth_ == kInField) {
    Deliver(handler_.FieldChild(kind, name, Trim(data), Line()));
  } else if (kind == NodeKind::kCData) {
    text_.append(data);  // part of the element child's text; comments and instructions are not
  }
}

}  // namespace

uint32_t MaxNestingDepth() { return kMaxNestingDepth; }

ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler) {
  try {
    Reader reader(source, handler);
    return reader.Run();
  } catch (const std::bad_alloc&) {
    return {ReadFailure::kBeyondBounds, 0, {}, 0};
  }
}

}  // namespace pibgen::xml
