#include "xml/dom_builder.h"

#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "xml/libxml_sax_parser.h"

namespace pibgen::xml {
namespace {

constexpr uint32_t kTextName = 0;
constexpr uint32_t kCDataName = 1;
constexpr uint32_t kCommentName = 2;

// Entity expansion may add this much beyond what the input itself holds; past it the
// document counts as an expansion bomb and the load fails.
constexpr size_t kExpansionAllowance = size_t{16} << 20;
constexpr size_t kNodeAllowance = size_t{1} << 20;

inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Counts line feeds eight bytes at a time: most texts have none, and a word without one is
// passed over with a few instructions.
uint32_t CountNewlines(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  constexpr uint64_t kNewlines = kOnes * '\n';
  const char* data = text.data();
  const size_t size = text.size();
  uint32_t count = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    const uint64_t matches = word ^ kNewlines;  // zero bytes where there was a line feed
    if (((matches - kOnes) & ~matches & kHighBits) == 0) continue;
    for (size_t k = 0; k < 8; ++k) count += data[i + k] == '\n';
  }
  for (; i < size; ++i) count += data[i] == '\n';
  return count;
}

std::string_view View(const unsigned char* text) {
  return text == nullptr ? std::string_view()
                         : std::string_view(reinterpret_cast<const char*>(text));
}

DomBuilder* BuilderOf(void* ctx) { return static_cast<DomBuilder*>(LibxmlSaxParser::User(ctx)); }

uint32_t CurrentLine(xmlParserCtxt* context) { return LibxmlSaxParser::Line(context); }

// Hands libxml2 the document in the small pieces it asks for, out of large reads.
class BlockReader {
 public:
  explicit BlockReader(const DomDocument::ReadFunction& read) : read_(read) {}

  static int Read(void* self, char* buffer, int length) {
    return static_cast<BlockReader*>(self)->Serve(buffer, static_cast<size_t>(length));
  }
  static int Close(void*) { return 0; }
  bool failed() const { return failed_; }
  // Whether the document turned out to hold no bytes at all.
  bool empty() const { return at_end_ && total_ == 0; }
  // Bytes taken from the source so far: no text the parser reports can come from beyond.
  const uint64_t* total() const { return &total_; }

 private:
  static constexpr size_t kBlockSize = size_t{256} << 10;

  int Serve(char* buffer, size_t length) {
    if (failed_) return -1;
    if (begin_ == end_ && !Refill()) return -1;
    const size_t take = std::min({length, end_ - begin_, static_cast<size_t>(INT_MAX)});
    std::memcpy(buffer, block_.get() + begin_, take);
    begin_ += take;
    return static_cast<int>(take);
  }

  // Fills the block as far as the source goes. Short reads are gathered up: the parser
  // takes a short piece for the end of the document, and it needs the first few bytes
  // together to tell the encoding.
  bool Refill() {
    if (!block_) block_ = std::make_unique<char[]>(kBlockSize);
    begin_ = 0;
    end_ = 0;
    while (!at_end_ && end_ < kBlockSize) {
      const ptrdiff_t got = read_(block_.get() + end_, kBlockSize - end_);
      if (got < 0 || static_cast<size_t>(got) > kBlockSize - end_) {
        failed_ = true;
        return false;
      }
      if (got == 0) at_end_ = true;
      end_ += static_cast<size_t>(got);
      total_ += static_cast<uint64_t>(got);
    }
    return true;
  }

  const DomDocument::ReadFunction& read_;
  std::unique_ptr<char[]> block_;
  size_t begin_ = 0;
  size_t end_ = 0;
  uint64_t total_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
};

}  // namespace

DomBuilder::DomBuilder() : document_(new DomDocument()) {
  document_->names_ = {"#text", "#cdata-section", "#comment"};
}

std::unique_ptr<DomDocument> DomBuilder::Build(const DomDocument::ReadFunction& read,
                                               LoadError* error, Attributes attributes) {
  if (error != nullptr) *error = {};

  xmlSAXHandler content;
  std::memset(&content, 0, sizeof content);
  content.startElementNs = OnStartElement;
  content.endElementNs = OnEndElement;
  content.characters = OnCharacters;
  content.ignorableWhitespace = OnCharacters;
  content.cdataBlock = OnCData;
  content.comment = OnComment;
  content.processingInstruction = OnProcessingInstruction;

  DomBuilder builder;
  // The document itself is node 0; the root element becomes its only child.
  if (!builder.document_->nodes_.push_back(
          {1, kTextName, 0, 0, NodeKind::kElement, 0, 0, DomDocument::kListed})) {
    if (error != nullptr) error->failure = LoadFailure::kReader;
    return nullptr;
  }
  builder.keep_attributes_ = attributes == Attributes::kKeep;
  BlockReader reader(read);
  builder.bytes_read_ = reader.total();
  LibxmlSaxParser parser(content, &builder, BlockReader::Read, &reader);
  builder.main_context_ = parser.Context();
  if (parser.Created()) parser.Parse();
  builder.CloseOpenText();
  LoadError result = parser.Result();
  if (result.failure == LoadFailure::kNone && (!builder.have_root_ || !builder.open_.empty())) {
    result = {LoadFailure::kSyntax, 0, {}};
  }
  // Our own reasons for stopping the parse, which the parser cannot know.
  if (result.failure == LoadFailure::kReader) result = {builder.failure_, 0, {}};
  if (reader.failed()) {
    result = {LoadFailure::kReader, 0, {}};
  } else if (reader.empty()) {
    // libxml2 makes no parse of an empty document; that is a document missing on line 1.
    result = {LoadFailure::kSyntax, 1, {}};
  }
  if (result.failure != LoadFailure::kNone) {
    if (error != nullptr) *error = std::move(result);
    return nullptr;
  }

  DomDocument& document = *builder.document_;
  document.nodes_[0].first = document.root_;
  document.nodes_[0].count = 1;
  document.nodes_[0].form = DomDocument::kRun;
  return std::move(builder.document_);
}

uint32_t DomBuilder::InternName(std::string_view name) {
  auto found = name_ids_.find(std::string(name));
  if (found != name_ids_.end()) return found->second;
  const auto id = static_cast<uint32_t>(document_->names_.size());
  document_->names_.emplace_back(name);
  name_ids_.emplace(std::string(name), id);
  return id;
}

uint32_t DomBuilder::InternDictionaryName(const unsigned char* name) {
  // The parser's dictionary keeps one copy of each name until the parse ends, and entity
  // content is parsed with the same dictionary, so one pointer always means one name.
  CachedName& slot = name_cache_[(reinterpret_cast<uintptr_t>(name) >> 3) % name_cache_.size()];
  if (slot.key == name) return slot.id;
  slot.key = name;
  slot.id = InternName(View(name));
  return slot.id;
}

// The parser cannot have reported text from beyond what the reader has taken from the
// source, and its own position lags behind inside one long run of text.
size_t DomBuilder::ConsumedBytes() const { return static_cast<size_t>(*bytes_read_); }

bool DomBuilder::CheckBudget() {
  const size_t chars = document_->chars_.size() + blank_.size();
  const size_t nodes = document_->nodes_.size();
  const size_t consumed = ConsumedBytes();
  chars_limit_ = consumed + kExpansionAllowance;
  nodes_limit_ = consumed / 2 + kNodeAllowance;
  return chars <= chars_limit_ && nodes <= nodes_limit_;
}

void DomBuilder::Fail(xmlParserCtxt* context, LoadFailure failure) {
  if (!failed_) failure_ = failure;
  failed_ = true;
  LibxmlSaxParser::Stop(context);
}

bool DomBuilder::AddNode(xmlParserCtxt* context, NodeKind kind, uint32_t name, uint32_t* index) {
  auto& nodes = document_->nodes_;
  // A folded text is no longer the only child once another comes: it becomes a node first.
  if (!open_.empty() && open_.back().folded) {
    open_.back().folded = false;
    auto& element = nodes[open_.back().element];
    const DomDocument::NodeRecord text = {element.line + element.text_line_delta,
                                          kTextName,
                                          element.first,
                                          element.count,
                                          NodeKind::kText,
                                          element.offset_high,
                                          0,
                                          DomDocument::kListed};
    element = {element.line, element.name, 0, 0, NodeKind::kElement, 0, 0, DomDocument::kListed};
    if (!nodes.push_back(text) || !AddChild(static_cast<uint32_t>(nodes.size() - 1))) {
      Fail(context);
      return false;
    }
  }
  const uint64_t offset = document_->chars_.size();
  // Indexes leave the top bit free for folded text children.
  if (nodes.size() >= DomDocument::kFoldedText || offset > DomDocument::kMaxCharsOffset ||
      !nodes.push_back({CurrentLine(context), name, static_cast<uint32_t>(offset), 0, kind,
                        static_cast<uint8_t>(offset >> 32), 0, DomDocument::kListed})) {
    Fail(context);
    return false;
  }
  *index = static_cast<uint32_t>(nodes.size() - 1);
  if (!AddChild(*index)) {
    Fail(context);
    return false;
  }
  return true;
}

// Notes a new child of the innermost open element. Children that follow one another in the
// table are only counted; a list is written out only once they stop doing so.
bool DomBuilder::AddChild(uint32_t child) {
  if (open_.empty()) return true;  // the root element, a child of the document
  OpenElement& parent = open_.back();
  if (!parent.listed) {
    if (parent.run_count == 0) parent.run_first = child;
    if (child == parent.run_first + parent.run_count) {
      ++parent.run_count;
      return true;
    }
    parent.listed = true;
    parent.list_start = pending_.size();
    for (uint32_t k = 0; k < parent.run_count; ++k) {
      if (!pending_.push_back(parent.run_first + k)) return false;
    }
  }
  return pending_.push_back(child);
}

// Text that starts an element with no children yet goes into the element's own record, as
// its folded text child. Returns false when it cannot (the line is too far from the
// element's), and the text takes a node of its own.
bool DomBuilder::FoldText(uint32_t line) {
  if (open_.empty()) return false;
  const OpenElement& open = open_.back();
  if (open.listed || open.run_count != 0 || open.folded) return false;
  auto& element = document_->nodes_[open_.back().element];
  const uint64_t offset = document_->chars_.size();
  if (element.form == DomDocument::kFolded || line < element.line ||
      line - element.line > UINT8_MAX || offset > DomDocument::kMaxCharsOffset) {
    return false;
  }
  element.first = static_cast<uint32_t>(offset);
  element.offset_high = static_cast<uint8_t>(offset >> 32);
  element.count = 0;
  element.text_line_delta = static_cast<uint8_t>(line - element.line);
  element.form = DomDocument::kFolded;
  open_.back().folded = true;
  open_text_ = open_.back().element;
  return true;
}

bool DomBuilder::AppendChars(xmlParserCtxt* context, uint32_t node, std::string_view text) {
  auto& record = document_->nodes_[node];
  if (text.size() > UINT32_MAX - record.count ||
      !document_->chars_.append(text.data(), text.size())) {
    Fail(context);
    return false;
  }
  record.count += static_cast<uint32_t>(text.size());
  return true;
}

void DomBuilder::CloseOpenText() {
  // White space between elements forms no node; it never got one.
  blank_open_ = false;
  text_open_ = false;
}

void DomBuilder::StartElement(xmlParserCtxt* context, uint32_t name) {
  CloseOpenText();
  if (open_.empty() && have_root_) return Fail(context);
  uint32_t index;
  if (!AddNode(context, NodeKind::kElement, name, &index)) return;
  if (open_.empty()) {
    have_root_ = true;
    document_->root_ = index;
  }
  open_.push_back({index, 0, 0, false, false, 0});
  if (!WithinBudget()) Fail(context, LoadFailure::kEntityExpansion);
}

// Records where an element's children are: nowhere to write for folded text, a run of
// records when each child took one record right after the one before, else the child table.
void DomBuilder::ListChildren(const OpenElement& open) {
  auto& record = document_->nodes_[open.element];
  if (record.form == DomDocument::kFolded) return;
  if (!open.listed) {
    record.count = open.run_count;
    if (open.run_count > 0) {
      record.form = DomDocument::kRun;
      record.first = open.run_first;
    }
    return;
  }
  auto& child_ids = document_->child_ids_;
  record.count = static_cast<uint32_t>(pending_.size() - open.list_start);
  if (child_ids.empty() && open.list_start == 0) {
    // The list is the whole of what waits, as the root element's list usually is: it
    // becomes the child table as it stands rather than being copied.
    record.first = 0;
    child_ids.swap(pending_);
    return;
  }
  record.first = static_cast<uint32_t>(child_ids.size());
  if (!child_ids.append(pending_.data() + open.list_start, record.count))
    Fail(main_context_, LoadFailure::kReader);
  pending_.truncate(open.list_start);
}

void DomBuilder::EndElement() {
  CloseOpenText();
  if (open_.empty()) return;
  ListChildren(open_.back());
  open_.pop_back();
}

void DomBuilder::Characters(xmlParserCtxt* context, std::string_view text) {
  if (text_open_) {
    if (AppendChars(context, open_text_, text) && !WithinBudget())
      Fail(context, LoadFailure::kEntityExpansion);
    return;
  }
  if (open_.empty()) return;  // white space around the root element
  // Until something visible comes, the text may still turn out to be only white space
  // between elements; it waits aside rather than in a node.
  size_t visible = 0;
  uint32_t newlines_before = 0;
  while (visible < text.size() && IsXmlSpace(text[visible])) {
    newlines_before += text[visible] == '\n';
    ++visible;
  }
  const uint32_t newlines_after = visible == text.size() ? 0 : CountNewlines(text.substr(visible));
  if (!blank_open_) {
    blank_open_ = true;
    blank_.truncate(0);
    blank_newlines_ = 0;
    // The parser reports a chunk once it has read it; the text starts where it began.
    const uint32_t line = CurrentLine(context);
    const uint32_t newlines = newlines_before + newlines_after;
    blank_line_ = line > newlines ? line - newlines : 1;
  }
  if (visible == text.size()) {
    blank_newlines_ += newlines_before;
    if (!blank_.append(text.data(), text.size())) return Fail(context);
    if (!WithinBudget()) Fail(context, LoadFailure::kEntityExpansion);
    return;
  }
  // The text's line is the one it is seen on, not the line break before it.
  const uint32_t line = blank_line_ + blank_newlines_ + newlines_before;
  if (!FoldText(line)) {
    if (!AddNode(context, NodeKind::kText, kTextName, &open_text_)) return;
    document_->nodes_[open_text_].line = line;
  }
  text_open_ = true;
  blank_open_ = false;
  if (!blank_.empty() &&
      !AppendChars(context, open_text_, std::string_view(blank_.data(), blank_.size()))) {
    return;
  }
  if (AppendChars(context, open_text_, text) && !WithinBudget())
    Fail(context, LoadFailure::kEntityExpansion);
}

void DomBuilder::CharacterNode(xmlParserCtxt* context, NodeKind kind, uint32_t name,
                               std::string_view data) {
  CloseOpenText();
  if (open_.empty()) return;  // comments and processing instructions outside the root element
  uint32_t index;
  if (!AddNode(context, kind, name, &index)) return;
  if (AppendChars(context, index, data) && !WithinBudget())
    Fail(context, LoadFailure::kEntityExpansion);
}

// The callbacks below run inside libxml2, which a C++ exception must not unwind through: it
// would leak the parser. Running out of memory there fails the load instead.

void DomBuilder::OnStartElement(void* ctx, const unsigned char* localname,
                                const unsigned char* prefix, const unsigned char*, int,
                                const unsigned char**, int attribute_count, int,
                                const unsigned char** attributes) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  auto* context = static_cast<xmlParserCtxt*>(ctx);
  try {
    if (prefix == nullptr) {
      builder->StartElement(context, builder->InternDictionaryName(localname));
    } else {
      std::string qualified(View(prefix));
      qualified += ':';
      qualified += View(localname);
      builder->StartElement(context, builder->InternName(qualified));
    }
    if (!builder->failed_ && attribute_count > 0 && builder->keep_attributes_) {
      builder->AddAttributes(context, attribute_count, attributes);
    }
  } catch (const std::bad_alloc&) {
    builder->Fail(context);
  }
}

void DomBuilder::AddAttributes(xmlParserCtxt* context, int count,
                               const unsigned char** attributes) {
  DomDocument& document = *document_;
  // libxml2 hands five pointers per attribute: local name, prefix, namespace URI, and the
  // value's start and end (the value is not terminated).
  for (int i = 0; i < count; ++i) {
    const unsigned char* const* attribute = attributes + 5 * static_cast<size_t>(i);
    std::string name;
    if (attribute[1] != nullptr) {
      name.assign(View(attribute[1]));
      name += ':';
    }
    name += View(attribute[0]);
    const std::string_view value(reinterpret_cast<const char*>(attribute[3]),
                                 static_cast<size_t>(attribute[4] - attribute[3]));
    document.attributes_.push_back(
        {open_.back().element, InternName(name), document.attribute_chars_.size(), value.size()});
    document.attribute_chars_.append(value);
  }
  // Entities expand in attribute values too; they get the same allowance as text.
  if (document.attribute_chars_.size() > ConsumedBytes() + kExpansionAllowance) {
    Fail(context, LoadFailure::kEntityExpansion);
  }
}

void DomBuilder::OnEndElement(void* ctx, const unsigned char*, const unsigned char*,
                              const unsigned char*) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->EndElement();
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnCharacters(void* ctx, const unsigned char* text, int length) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_ || length <= 0) return;
  try {
    builder->Characters(
        static_cast<xmlParserCtxt*>(ctx),
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnCData(void* ctx, const unsigned char* text, int length) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_ || length < 0) return;
  try {
    builder->CharacterNode(
        static_cast<xmlParserCtxt*>(ctx), NodeKind::kCData, kCDataName,
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnComment(void* ctx, const unsigned char* text) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->CharacterNode(static_cast<xmlParserCtxt*>(ctx), NodeKind::kComment, kCommentName,
                           View(text));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnProcessingInstruction(void* ctx, const unsigned char* target,
                                         const unsigned char* data) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->CharacterNode(static_cast<xmlParserCtxt*>(ctx), NodeKind::kProcessingInstruction,
                           builder->InternName(View(target)), View(data));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

}  // namespace pibgen::xml
