#include "xml/read_description.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

// libxml2 2.12 passes errors as const; 2.13 adds per-parser error handlers and
// XML_PARSE_NO_XXE; 2.14 per-parser resource loaders and accessors for the parser context;
// 2.15 reports the input position through a call.
namespace pibgen::xml {
namespace {

// Entities may add this much text beyond what the input holds, and this many nodes beyond one
// for every two bytes read; past that the description counts as an expansion bomb.
constexpr uint64_t kExpansionAllowance = uint64_t{16} << 20;
constexpr uint64_t kNodeAllowance = uint64_t{1} << 20;
constexpr size_t kBlockSize = size_t{256} << 10;
// libxml2's nesting limit without XML_PARSE_HUGE, which stays off to protect the stack.
constexpr uint32_t kMaxDepth = 256;
// Depth of the open elements: the root is 1, a field 2, a field's element child 3.
constexpr uint32_t kInRoot = 1, kInField = 2, kInChild = 3;

#if LIBXML_VERSION >= 21200
using ErrorPointer = const xmlError*;
#else
using ErrorPointer = xmlErrorPtr;
#endif

bool IsXmlSpace(char c) {
  constexpr uint64_t kSpaces = 1ull << ' ' | 1ull << '\n' | 1ull << '\t' | 1ull << '\r';
  return static_cast<unsigned char>(c) <= ' ' && (kSpaces >> static_cast<unsigned char>(c) & 1);
}

bool Visible(std::string_view text) {
  for (const char c : text) {
    if (!IsXmlSpace(c)) return true;
  }
  return false;
}

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

// Line of the innermost input of a parser context (the text being parsed, which may be an
// entity's), or of its outermost (the document itself).
uint32_t InputLine(xmlParserCtxt* context, bool innermost) {
  int line = 0;
#if LIBXML_VERSION >= 21500
  if (xmlCtxtGetInputPosition(context, innermost ? -1 : 0, nullptr, &line, nullptr, nullptr) < 0)
    line = 0;
#else
  const xmlParserInput* input =
      innermost || context->inputNr < 1 ? context->input : context->inputTab[0];
  if (input != nullptr) line = input->line;
#endif
  return line < 1 ? 1 : static_cast<uint32_t>(line);
}

// One SAX2 parse of the description. Nothing outside the source is read or even looked up:
// every external entity and DTD is refused before libxml2 could name its path to the system.
class Reader {
 public:
  Reader(file::SourceFile& source, DescriptionHandler& handler)
      : source_(source), handler_(handler) {}
  ReadResult Run();
  void Note(ReadFailure failure, uint32_t line) {
    if (failure_ == ReadFailure::kNone) failure_ = failure, line_ = line;
  }

 private:
  // Entity content may be parsed in a context of its own; it shares the private pointer.
  static Reader* Of(void* ctx) {
#if LIBXML_VERSION >= 21400
    return static_cast<Reader*>(xmlCtxtGetPrivate(static_cast<xmlParserCtxt*>(ctx)));
#else
    return static_cast<Reader*>(static_cast<xmlParserCtxt*>(ctx)->_private);
#endif
  }
  // Runs one content callback's step; none once the read has failed. An exception must not
  // unwind through libxml2: running out of memory fails the read.
  template <typename Step>
  static void Guard(void* ctx, Step step) {
    Reader& reader = *Of(ctx);
    if (reader.failure_ != ReadFailure::kNone) return;
    reader.ctx_ = ctx;
    try {
      step(reader);
    } catch (const std::bad_alloc&) {
      reader.Fail(ReadFailure::kBeyondBounds);
    }
  }
  static xmlSAXHandler Handler();
  static void SetUpLibxml();
  static int Read(void* self, char* buffer, int length);
  bool Refill();
  static xmlEntity* GetEntity(void* ctx, const xmlChar* name);
  static xmlEntity* GetParameterEntity(void* ctx, const xmlChar* name);
  static void OnError(void* ctx, ErrorPointer error);
  // Refuses an entity reference ("&" or "%" and its name) and stops the parse.
  void Refuse(void* ctx, ReadFailure failure, const char* reference, const xmlChar* name);
  void Stop(void* ctx);
  void Fail(ReadFailure failure) {
    Note(failure, 0);
    if (ctx_ != nullptr) Stop(ctx_);
  }

  void StartElement(const xmlChar* prefix, const xmlChar* local, int attribute_count,
                    const xmlChar** attributes);
  [[gnu::noinline]] void StartOuter(std::string_view name, size_t count,
                                    const xmlChar** attributes);
  void EndElement();
  void Characters(std::string_view text);
  [[gnu::noinline]] void TextBetweenElements(std::string_view text);
  void Leaf(NodeKind kind, std::string_view name, std::string_view data);
  void OpenRun();
  [[gnu::noinline]] void CloseRun();
  void Deliver(bool go_on) {
    if (!go_on) Fail(ReadFailure::kStopped);
  }
  // Counts text kept and nodes met against what the input read so far allows; false once
  // the read has failed.
  bool Spend(uint64_t chars, uint64_t nodes) {
    if (lean_) return failure_ == ReadFailure::kNone;
    chars_ += chars;
    nodes_ += nodes;
    return (chars_ <= chars_limit_ && nodes_ <= nodes_limit_ && failure_ == ReadFailure::kNone) ||
           Rebound();
  }
  [[gnu::noinline]] bool Rebound() {
    chars_limit_ = bytes_read_ + kExpansionAllowance;
    nodes_limit_ = bytes_read_ / 2 + kNodeAllowance;
    if (chars_ > chars_limit_ || nodes_ > nodes_limit_) Fail(ReadFailure::kBeyondBounds);
    return failure_ == ReadFailure::kNone;
  }
  uint32_t Line() const { return InputLine(static_cast<xmlParserCtxt*>(ctx_), true); }

  file::SourceFile& source_;
  DescriptionHandler& handler_;
  xmlParserCtxt* main_ = nullptr;  // the context of the document itself
  void* ctx_ = nullptr;            // the context of the callback running
  ReadFailure failure_ = ReadFailure::kNone;
  uint32_t line_ = 0;
  std::string entity_;
  std::vector<char> block_;  // the source is read a block at a time
  size_t block_begin_ = 0, block_end_ = 0;
  bool unreadable_ = false, at_end_ = false;
  uint64_t bytes_read_ = 0, chars_ = 0, nodes_ = 0;
  // Bounds below which Spend need not look at the input again; they only grow.
  uint64_t chars_limit_ = 0, nodes_limit_ = 0;
  uint32_t depth_ = 0, root_children_ = 0;
  bool had_root_ = false;
  // Without a document type declaration nothing can expand beyond the input, so there are no
  // bounds to keep, and the children the handler does not want need not be read.
  bool doctype_ = false, lean_ = false, child_wanted_ = true, text_wanted_ = true;
  std::vector<Attribute> attributes_;
  std::vector<std::string> qualified_names_;
  std::string qualified_;  // the element's name with its prefix, when it has one
  // The field child being read: its name and line, and its text so far.
  std::string_view child_name_;
  std::string child_qualified_;
  uint32_t child_line_ = 0;
  std::string text_;
  // A run of characters not yet ended by another node. Until something visible comes it may
  // be white space between elements, which forms no node: run_start_ is where it began in
  // text_, run_chars_ how much it has added there.
  bool run_open_ = false, run_visible_ = false;
  size_t run_start_ = 0;
  uint64_t run_chars_ = 0;
};

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
  block_begin_ = block_end_ = 0;
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

void Reader::Stop(void* ctx) {
  auto* context = static_cast<xmlParserCtxt*>(ctx);
#if LIBXML_VERSION < 21400
  // Before 2.14 a stopped parse still counts as well-formed, and an entity lookup that found
  // nothing then retries with libxml2's own lookup, which loads external entities.
  context->wellFormed = 0;
  if (main_ != nullptr) main_->wellFormed = 0;
#endif
  xmlStopParser(context);
  if (main_ != nullptr && main_ != context) xmlStopParser(main_);
}

void Reader::Refuse(void* ctx, ReadFailure failure, const char* reference, const xmlChar* name) {
  if (failure_ == ReadFailure::kNone && name != nullptr) {
    entity_.assign(reference).append(View(name)).append(";");
  }
  // The line in the document, not in an entity's text.
  Note(failure, InputLine(main_ != nullptr ? main_ : static_cast<xmlParserCtxt*>(ctx), false));
  Stop(ctx);
}

bool IsExternal(const xmlEntity* entity) {
  return entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
         entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
         entity->etype == XML_EXTERNAL_PARAMETER_ENTITY;
}

// The document libxml2 builds for the DTD's declarations. From 2.14 on its accessor hands the
// document over, so the field is read until the end.
xmlDoc* DocumentOf(void* ctx) { return static_cast<xmlParserCtxt*>(ctx)->myDoc; }

// libxml2 asks these for every entity reference, before it would load anything. An external
// entity is refused here: libxml2's own lookup would look its path up first. A name the
// document does not declare is refused too, rather than read as empty text.
xmlEntity* Reader::GetEntity(void* ctx, const xmlChar* name) {
  const xmlEntity* declared = xmlGetDocEntity(DocumentOf(ctx), name);
  if (declared == nullptr || IsExternal(declared)) {
    Of(ctx)->Refuse(ctx, declared ? ReadFailure::kExternalEntity : ReadFailure::kUndeclaredEntity,
                    "&", name);
    return nullptr;
  }
  return xmlSAX2GetEntity(ctx, name);  // keeps libxml2's standalone checks
}

xmlEntity* Reader::GetParameterEntity(void* ctx, const xmlChar* name) {
  xmlEntity* declared = xmlGetParameterEntity(DocumentOf(ctx), name);
  if (declared == nullptr || IsExternal(declared)) {
    Of(ctx)->Refuse(ctx, declared ? ReadFailure::kExternalEntity : ReadFailure::kUndeclaredEntity,
                    "%", name);
    return nullptr;
  }
  return declared;
}

// Which of libxml2's limits an error reports. Its codes do not tell (2.9 reports the depth
// limit as an internal error, 2.11 on both limits as one resource limit), so the message does.
ReadFailure Classify(const xmlError& error) {
  const std::string_view message = error.message != nullptr ? error.message : "";
  if (error.code == XML_ERR_ENTITY_LOOP || message.find("amplification") != message.npos) {
    return ReadFailure::kBeyondBounds;
  }
  if (message.find("depth in document") != message.npos) return ReadFailure::kTooDeep;
  return ReadFailure::kNotWellFormed;
}

void Reader::OnError(void* ctx, ErrorPointer error) {
#if LIBXML_VERSION >= 21300
  auto* reader = static_cast<Reader*>(ctx);
#else
  Reader* reader = Of(ctx);  // null while the context is being created
#endif
  if (reader == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  // The line in the document, not in an entity's text, which error->line may count.
  reader->Note(Classify(*error), reader->main_ != nullptr
                                     ? InputLine(reader->main_, false)
                                     : static_cast<uint32_t>(std::max(error->line, 0)));
}

void IgnoreMessage(void*, const char*, ...) {}
void IgnoreError(void*, ErrorPointer) {}

#if LIBXML_VERSION >= 21400
// The flags' type changed within 2.14's lifetime; it is taken from libxml2's own declaration.
template <typename Flags>
xmlParserErrors RefuseResource(void* reader, const char*, const char*, xmlResourceType, Flags,
                               xmlParserInput** out) {
  *out = nullptr;
  static_cast<Reader*>(reader)->Note(ReadFailure::kExternalEntity, 0);
  return XML_IO_EACCES;
}
#endif

// Process-wide settings, made once: libxml2 prints nothing of its own, and before 2.14 the
// only way to refuse a resource is the process-wide loader.
void Reader::SetUpLibxml() {
  static const bool done = [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    xmlSetStructuredErrorFunc(nullptr, IgnoreError);
#if LIBXML_VERSION < 21400
    xmlSetExternalEntityLoader([](const char*, const char*, xmlParserCtxt* context) {
      if (context != nullptr && Of(context) != nullptr) {
        Of(context)->Refuse(context, ReadFailure::kExternalEntity, "", nullptr);
      }
      return xmlParserInputPtr{nullptr};
    });
#endif
    return true;
  }();
  (void)done;
}

// libxml2's own handling of the DTD and of internal entities, the guards above, and the
// content callbacks. The external subset is never read: its declarations do not exist.
xmlSAXHandler Reader::Handler() {
  xmlSAXHandler content;
  std::memset(&content, 0, sizeof content);
  xmlSAXVersion(&content, 2);
  content.getEntity = GetEntity;
  content.getParameterEntity = GetParameterEntity;
  content.resolveEntity = [](void* ctx, const xmlChar*, const xmlChar*) {
    Of(ctx)->Refuse(ctx, ReadFailure::kExternalEntity, "", nullptr);
    return xmlParserInputPtr{nullptr};
  };
  content.externalSubset = [](void*, const xmlChar*, const xmlChar*, const xmlChar*) {};
  content.internalSubset = [](void* ctx, const xmlChar* name, const xmlChar* id,
                              const xmlChar* uri) {
    Of(ctx)->doctype_ = true;
    xmlSAX2InternalSubset(ctx, name, id, uri);
  };
  content.reference = nullptr;
  content.startElement = nullptr;
  content.endElement = nullptr;
  content.warning = content.error = content.fatalError = IgnoreMessage;
#if LIBXML_VERSION >= 21300
  content.serror = nullptr;
#else
  content.serror = OnError;
#endif
  content.startElementNs = [](void* ctx, const xmlChar* name, const xmlChar* prefix, const xmlChar*,
                              int, const xmlChar**, int count, int, const xmlChar** attributes) {
    Guard(ctx, [&](Reader& reader) { reader.StartElement(prefix, name, count, attributes); });
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
  return content;
}

ReadResult Reader::Run() {
  SetUpLibxml();
  xmlSAXHandler content = Handler();
  // The source is the caller's to close; libxml2 gets a no-op.
  main_ = xmlCreateIOParserCtxt(
      &content, nullptr, Read, [](void*) { return 0; }, this, XML_CHAR_ENCODING_NONE);
  if (main_ == nullptr) return {ReadFailure::kBeyondBounds, 0, {}, 0};
#if LIBXML_VERSION >= 21400
  xmlCtxtSetPrivate(main_, this);
  xmlCtxtSetResourceLoader(main_, RefuseResource, this);
#else
  main_->_private = this;
#endif
#if LIBXML_VERSION >= 21300
  xmlCtxtSetErrorHandler(main_, OnError, this);
  constexpr int kNoExternalEntities = XML_PARSE_NO_XXE;
#else
  constexpr int kNoExternalEntities = 0;
#endif
  // Entities are replaced by their text. Errors are not switched off by option: from 2.13 on
  // that would also hide them from the handler that tells which limit was hit.
  xmlCtxtUseOptions(main_, XML_PARSE_NOENT | XML_PARSE_NONET | kNoExternalEntities);
  xmlParseDocument(main_);
  ctx_ = nullptr;
  CloseRun();
  if (failure_ == ReadFailure::kNone) {
#if LIBXML_VERSION >= 21400
    const bool well_formed = (xmlCtxtGetStatus(main_) & XML_STATUS_NOT_WELL_FORMED) == 0;
#else
    const bool well_formed = main_->wellFormed != 0;
#endif
    if (!well_formed) Note(ReadFailure::kNotWellFormed, InputLine(main_, true));
    if (!had_root_ || depth_ != 0) Note(ReadFailure::kNotWellFormed, 0);
  }
#if LIBXML_VERSION >= 21400
  xmlFreeDoc(xmlCtxtGetDocument(main_));
#else
  xmlFreeDoc(main_->myDoc);
  main_->myDoc = nullptr;
#endif
  xmlFreeParserCtxt(main_);
  if (unreadable_) return {ReadFailure::kUnreadable, 0, {}, bytes_read_};
  if (bytes_read_ == 0) return {ReadFailure::kNotWellFormed, 1, {}, 0};  // libxml2 needs bytes
  if (failure_ == ReadFailure::kNone) return {ReadFailure::kNone, 0, {}, bytes_read_};
  return {failure_, line_, entity_, bytes_read_};
}

// Ends a run of characters. Visible text directly in a field is a child of its own; a run
// that stayed white space is dropped, also from the text of an element child.
void Reader::CloseRun() {
  if (!run_open_) return;
  run_open_ = false;
  if (depth_ >= kInChild) {
    if (!Visible(std::string_view(text_).substr(run_start_))) {
      chars_ -= text_.size() - run_start_;
      text_.resize(run_start_);
    }
  } else if (!run_visible_) {
    chars_ -= run_chars_;
  } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
    Deliver(handler_.FieldChild(NodeKind::kText, "#text", Trim(text_), child_line_));
  }
}

void Reader::OpenRun() {
  run_open_ = true;
  run_visible_ = false;
  run_chars_ = 0;
  if (depth_ == kInField) text_.clear();
  run_start_ = text_.size();
}

void Reader::StartElement(const xmlChar* prefix, const xmlChar* local, int attribute_count,
                          const xmlChar** attributes) {
  if (run_open_) CloseRun();
  // A stopped parser may have freed what it passed.
  if ((depth_ == 0 && had_root_) || !Spend(0, 1)) return Fail(ReadFailure::kNotWellFormed);
  // Names come from the parser's dictionary and stay valid while it parses.
  std::string_view name = View(local);
  if (prefix != nullptr) name = qualified_.assign(View(prefix)).append(":").append(name);
  if (++depth_ == kInChild) {
    child_name_ = prefix == nullptr ? name : std::string_view(child_qualified_.assign(name));
    child_line_ = Line();
    child_wanted_ = !lean_ || handler_.Wants(child_name_);
    text_.clear();
  } else if (depth_ <= kInField) {
    StartOuter(name, static_cast<size_t>(attribute_count), attributes);
  }
}

// The root or a field: the handler is told of it with its attributes.
void Reader::StartOuter(std::string_view name, size_t count, const xmlChar** attributes) {
  // Five pointers an attribute: local name, prefix, namespace, and the value's start and end.
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
  if (!Spend(value_chars, 0)) return;
  if (depth_ == kInRoot) {
    had_root_ = true;
    lean_ = !doctype_;
    text_wanted_ = !lean_ || handler_.Wants("#text");
    Deliver(handler_.Root(name, attributes_, Line()));
  } else {
    Deliver(handler_.BeginField(++root_children_, name, attributes_, Line()));
  }
}

void Reader::EndElement() {
  if (run_open_) CloseRun();
  if (depth_ == kInChild && child_wanted_ && failure_ == ReadFailure::kNone) {
    Deliver(handler_.FieldChild(NodeKind::kElement, child_name_, Trim(text_), child_line_));
  } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
    Deliver(handler_.EndField());
  }
  if (depth_ > 0) --depth_;
}

void Reader::Characters(std::string_view text) {
  if (depth_ >= kInChild) {  // an element child's text: the bulk of a description
    if (!child_wanted_) return;
    if (!run_open_) OpenRun();
    if (Spend(text.size(), 0)) text_.append(text);
  } else if (depth_ == kInRoot || (depth_ == kInField && text_wanted_)) {
    if (!run_open_) OpenRun();
    run_chars_ += text.size();
    // A stopped parser may have freed the text.
    if (Spend(text.size(), 0) && (run_visible_ || Visible(text))) TextBetweenElements(text);
  }
}

// Visible text directly in the root or in a field.
void Reader::TextBetweenElements(std::string_view text) {
  if (run_visible_) {
    if (depth_ == kInField) text_.append(text);
    return;
  }
  run_visible_ = true;
  // The text's line is the one its first visible character is on. The parser reports text
  // once it has read it, so that is the line feeds after it back.
  const auto visible = std::find_if_not(text.begin(), text.end(), IsXmlSpace);
  const auto after = static_cast<uint32_t>(std::count(visible, text.end(), '\n'));
  child_line_ = std::max(Line(), after + 1) - after;
  if (!Spend(0, 1)) return;
  if (depth_ == kInRoot) {
    return Deliver(handler_.OtherRootChild(++root_children_, NodeKind::kText, child_line_));
  }
  text_.append(visible, text.end());
}

// A node that is whole in one callback: CDATA, a comment, a processing instruction.
void Reader::Leaf(NodeKind kind, std::string_view name, std::string_view data) {
  CloseRun();
  if (depth_ == 0 || !Spend(data.size(), 1)) return;
  if (depth_ == kInRoot) {
    Deliver(handler_.OtherRootChild(++root_children_, kind, Line()));
  } else if (depth_ == kInField) {
    Deliver(handler_.FieldChild(kind, name, Trim(data), Line()));
  } else if (kind == NodeKind::kCData && child_wanted_) {
    text_.append(data);  // part of the element child's text; comments and instructions are not
  }
}

}  // namespace

uint32_t MaxNestingDepth() { return kMaxDepth; }

ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler) {
  try {
    Reader reader(source, handler);
    return reader.Run();
  } catch (const std::bad_alloc&) {
    return {ReadFailure::kBeyondBounds, 0, {}, 0};
  }
}

}  // namespace pibgen::xml
