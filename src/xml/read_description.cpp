#include "xml/read_description.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "xml/sax_parser.h"

namespace pibgen::xml {
namespace {

// Entities may add this much text beyond what the input itself holds, and this many nodes
// beyond one for every two bytes read; past that the description counts as an expansion bomb.
constexpr uint64_t kExpansionAllowance = uint64_t{16} << 20;
constexpr uint64_t kNodeAllowance = uint64_t{1} << 20;
constexpr size_t kBlockSize = size_t{256} << 10;

inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsXmlSpace(text[begin])) ++begin;
  while (end > begin && IsXmlSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Counts line feeds eight bytes at a time: most texts have none, and a word without one is
// passed over with a few instructions.
uint32_t CountNewlines(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  uint32_t count = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const uint64_t matches = word ^ (kOnes * '\n');  // zero bytes where there was a line feed
    if (((matches - kOnes) & ~matches & kHighBits) == 0) continue;
    for (size_t k = 0; k < 8; ++k) count += text[i + k] == '\n';
  }
  for (; i < text.size(); ++i) count += text[i] == '\n';
  return count;
}

std::string_view View(const unsigned char* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

// The parser reports a node once it has read it: an element on the line its start tag ends.
uint32_t CurrentLine(xmlParserCtxt* context) {
  if (context->input == nullptr || context->input->line < 1) return 1;
  return static_cast<uint32_t>(context->input->line);
}

// Depth of the open elements: the root is 1, a field 2, a field's element child 3.
constexpr uint32_t kInRoot = 1;
constexpr uint32_t kInField = 2;
constexpr uint32_t kInChild = 3;

class Reader {
 public:
  Reader(file::SourceFile& source, DescriptionHandler& handler)
      : source_(source), handler_(handler) {}
  ReadResult Run();

 private:
  static int ReadBlock(void* self, char* buffer, int length);
  bool Refill();

  void StartElement(xmlParserCtxt* context, std::string_view name, int attribute_count,
                    const unsigned char** attributes);
  void EndElement();
  void Characters(xmlParserCtxt* context, std::string_view text);
  void Leaf(xmlParserCtxt* context, NodeKind kind, std::string_view name, std::string_view data);
  void CloseRun();
  void Deliver(bool go_on) {
    if (!go_on) Fail(ReadFailure::kStopped);
  }
  // Counts text kept and nodes made against what the input read so far allows.
  void Spend(uint64_t chars, uint64_t nodes);
  void Fail(ReadFailure failure);

  // The reader behind a callback's parser, which is the main parser or, in older libxml2,
  // one it made for an entity's content.
  static Reader& Of(void* context) {
    auto* parser = static_cast<xmlParserCtxt*>(context);
    Reader& reader = *static_cast<Reader*>(parser->_private);
    reader.current_ = parser;
    return reader;
  }
  static void OnStartElement(void* context, const unsigned char* localname,
                             const unsigned char* prefix, const unsigned char*, int,
                             const unsigned char**, int attribute_count, int,
                             const unsigned char** attributes);
  static void OnEndElement(void* context, const unsigned char*, const unsigned char*,
                           const unsigned char*);
  static void OnCharacters(void* context, const unsigned char* text, int length);
  static void OnCData(void* context, const unsigned char* text, int length);
  static void OnComment(void* context, const unsigned char* text);
  static void OnProcessingInstruction(void* context, const unsigned char* target,
                                      const unsigned char* data);

  file::SourceFile& source_;
  DescriptionHandler& handler_;
  xmlParserCtxt* parser_ = nullptr;
  xmlParserCtxt* current_ = nullptr;
  ReadFailure failure_ = ReadFailure::kNone;

  // The source, taken in large blocks and handed to the parser in the pieces it asks for.
  std::unique_ptr<char[]> block_;
  size_t block_begin_ = 0;
  size_t block_end_ = 0;
  uint64_t bytes_read_ = 0;
  bool at_end_ = false;

  uint32_t depth_ = 0;
  bool had_root_ = false;
  uint32_t root_children_ = 0;
  uint64_t chars_ = 0;
  uint64_t nodes_ = 0;
  std::vector<Attribute> attributes_;
  std::vector<std::string> qualified_names_;

  // The field child being read: its kind, name and line, and its text so far.
  NodeKind child_kind_ = NodeKind::kElement;
  std::string child_name_;
  uint32_t child_line_ = 0;
  std::string text_;

  // A run of characters not yet ended by another node. Until something visible comes it may
  // be white space between elements, which forms no node: run_start_ marks where it began
  // in text_, run_line_ the line it began on, run_newlines_ the line feeds seen in it.
  bool run_open_ = false;
  bool run_visible_ = false;
  size_t run_start_ = 0;
  uint32_t run_line_ = 0;
  uint32_t run_newlines_ = 0;
  uint64_t run_chars_ = 0;
};

int Reader::ReadBlock(void* self, char* buffer, int length) {
  Reader& reader = *static_cast<Reader*>(self);
  if (reader.failure_ != ReadFailure::kNone) return -1;
  if (reader.block_begin_ == reader.block_end_ && !reader.Refill()) return -1;
  const size_t take =
      std::min(static_cast<size_t>(std::max(length, 0)), reader.block_end_ - reader.block_begin_);
  std::memcpy(buffer, reader.block_.get() + reader.block_begin_, take);
  reader.block_begin_ += take;
  return static_cast<int>(take);
}

// Fills the block as far as the source goes. Short reads are gathered up: the parser takes
// a short piece for the end of the document, and it needs the first bytes together to tell
// the encoding.
bool Reader::Refill() {
  block_begin_ = 0;
  block_end_ = 0;
  while (!at_end_ && block_end_ < kBlockSize) {
    const ptrdiff_t got = source_.Read(block_.get() + block_end_, kBlockSize - block_end_);
    if (got < 0 || static_cast<size_t>(got) > kBlockSize - block_end_) {
      failure_ = ReadFailure::kUnreadable;
      return false;
    }
    at_end_ = got == 0;
    block_end_ += static_cast<size_t>(got);
    bytes_read_ += static_cast<uint64_t>(got);
  }
  return true;
}

ReadResult Reader::Run() {
  block_ = std::make_unique<char[]>(kBlockSize);
  xmlSAXHandler sax;
  InitSaxHandler(&sax);
  sax.startElementNs = OnStartElement;
  sax.endElementNs = OnEndElement;
  sax.characters = OnCharacters;
  sax.ignorableWhitespace = OnCharacters;
  sax.cdataBlock = OnCData;
  sax.comment = OnComment;
  sax.processingInstruction = OnProcessingInstruction;

  ReadResult result;
  SaxParser parser(&sax, ReadBlock, this);
  parser_ = parser.context();
  if (parser_ != nullptr) {
    parser_->_private = this;
    parser.Parse();
  }
  CloseRun();
  result.bytes = bytes_read_;
  if (failure_ == ReadFailure::kNone) {
    if (parser.ReachedOutside()) {
      failure_ = ReadFailure::kEntity;
    } else if (parser_ == nullptr || !parser.WellFormed() || !had_root_ || depth_ != 0) {
      failure_ = ReadFailure::kNotWellFormed;
      // The parser makes nothing of an empty document: that is a document missing on line 1.
      result.line = bytes_read_ == 0 ? 1 : parser.ErrorLine();
    }
  }
  result.failure = failure_;
  return result;
}

void Reader::Fail(ReadFailure failure) {
  if (failure_ == ReadFailure::kNone) failure_ = failure;
  if (current_ != nullptr && current_ != parser_) xmlStopParser(current_);
  if (parser_ != nullptr) xmlStopParser(parser_);
}

void Reader::Spend(uint64_t chars, uint64_t nodes) {
  chars_ += chars;
  nodes_ += nodes;
  if (chars_ > bytes_read_ + kExpansionAllowance || nodes_ > bytes_read_ / 2 + kNodeAllowance) {
    Fail(ReadFailure::kBeyondBounds);
  }
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
}

void Reader::StartElement(xmlParserCtxt* context, std::string_view name, int attribute_count,
                          const unsigned char** attributes) {
  CloseRun();
  if (depth_ == 0 && had_root_) return Fail(ReadFailure::kNotWellFormed);
  ++depth_;
  Spend(0, 1);
  if (depth_ > kInField) {
    if (depth_ == kInChild) {
      child_kind_ = NodeKind::kElement;
      child_name_.assign(name);
      child_line_ = CurrentLine(context);
      text_.clear();
    }
    return;
  }
  // libxml2 hands five pointers per attribute: local name, prefix, namespace, and the
  // value's start and end (the value is not terminated).
  const auto count = static_cast<size_t>(attribute_count);
  attributes_.resize(count);
  if (qualified_names_.size() < count) qualified_names_.resize(count);
  uint64_t value_chars = 0;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* const* attribute = attributes + 5 * i;
    std::string_view attribute_name = View(attribute[0]);
    if (attribute[1] != nullptr) {
      qualified_names_[i].assign(View(attribute[1])).append(":").append(attribute_name);
      attribute_name = qualified_names_[i];
    }
    const auto length = static_cast<size_t>(attribute[4] - attribute[3]);
    attributes_[i] = {attribute_name,
                      std::string_view(reinterpret_cast<const char*>(attribute[3]), length)};
    value_chars += length;
  }
  Spend(value_chars, 0);
  if (failure_ != ReadFailure::kNone) return;
  if (depth_ == kInRoot) {
    had_root_ = true;
    Deliver(handler_.Root(name, attributes_, CurrentLine(context)));
  } else {
    Deliver(handler_.BeginField(++root_children_, name, attributes_, CurrentLine(context)));
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

void Reader::Characters(xmlParserCtxt* context, std::string_view text) {
  if (depth_ == 0) return;
  if (!run_open_) {
    run_open_ = true;
    run_visible_ = false;
    if (depth_ == kInField) text_.clear();
    run_start_ = text_.size();
    // The parser reports text once it has read it; the run started that many lines back.
    const uint32_t line = CurrentLine(context);
    const uint32_t newlines = CountNewlines(text);
    run_line_ = line > newlines ? line - newlines : 1;
    run_newlines_ = 0;
    run_chars_ = 0;
  }
  if (!run_visible_) {
    size_t visible = 0;
    while (visible < text.size() && IsXmlSpace(text[visible])) {
      run_newlines_ += text[visible] == '\n';
      ++visible;
    }
    if (visible < text.size()) {
      // The text's line is the one its first visible character is on.
      run_visible_ = true;
      const uint32_t line = run_line_ + run_newlines_;
      if (depth_ == kInField) child_line_ = line;
      Spend(0, 1);
      if (depth_ == kInRoot && failure_ == ReadFailure::kNone) {
        Deliver(handler_.OtherRootChild(++root_children_, NodeKind::kText, line));
      }
    }
  }
  run_chars_ += text.size();
  Spend(text.size(), 0);
  if (depth_ > kInRoot) text_.append(text);
}

// A node that is whole in one callback: CDATA, a comment, a processing instruction.
void Reader::Leaf(xmlParserCtxt* context, NodeKind kind, std::string_view name,
                  std::string_view data) {
  CloseRun();
  if (depth_ == 0) return;
  Spend(data.size(), 1);
  if (failure_ != ReadFailure::kNone) return;
  if (depth_ == kInRoot) {
    Deliver(handler_.OtherRootChild(++root_children_, kind, CurrentLine(context)));
  } else if (depth_ == kInField) {
    Deliver(handler_.FieldChild(kind, name, Trim(data), CurrentLine(context)));
  } else if (kind == NodeKind::kCData) {
    text_.append(data);  // part of the element child's text; comments and instructions are not
  }
}

// The callbacks run inside libxml2, which an exception must not unwind through: running out
// of memory fails the read instead.

void Reader::OnStartElement(void* context, const unsigned char* localname,
                            const unsigned char* prefix, const unsigned char*, int,
                            const unsigned char**, int attribute_count, int,
                            const unsigned char** attributes) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone) return;
  try {
    if (prefix == nullptr) {
      reader.StartElement(static_cast<xmlParserCtxt*>(context), View(localname), attribute_count,
                          attributes);
    } else {
      const std::string name = std::string(View(prefix)) + ":" + std::string(View(localname));
      reader.StartElement(static_cast<xmlParserCtxt*>(context), name, attribute_count, attributes);
    }
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

void Reader::OnEndElement(void* context, const unsigned char*, const unsigned char*,
                          const unsigned char*) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone) return;
  try {
    reader.EndElement();
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

void Reader::OnCharacters(void* context, const unsigned char* text, int length) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone || length <= 0) return;
  try {
    reader.Characters(
        static_cast<xmlParserCtxt*>(context),
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

void Reader::OnCData(void* context, const unsigned char* text, int length) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone || length < 0) return;
  try {
    reader.Leaf(static_cast<xmlParserCtxt*>(context), NodeKind::kCData, "#cdata-section",
                std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

void Reader::OnComment(void* context, const unsigned char* text) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone) return;
  try {
    reader.Leaf(static_cast<xmlParserCtxt*>(context), NodeKind::kComment, "#comment", View(text));
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

void Reader::OnProcessingInstruction(void* context, const unsigned char* target,
                                     const unsigned char* data) {
  Reader& reader = Of(context);
  if (reader.failure_ != ReadFailure::kNone) return;
  try {
    reader.Leaf(static_cast<xmlParserCtxt*>(context), NodeKind::kProcessingInstruction,
                View(target), View(data));
  } catch (const std::bad_alloc&) {
    reader.Fail(ReadFailure::kBeyondBounds);
  }
}

}  // namespace

ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler) {
  try {
    Reader reader(source, handler);
    return reader.Run();
  } catch (const std::bad_alloc&) {
    return {ReadFailure::kBeyondBounds, 0, 0};
  }
}

}  // namespace pibgen::xml
