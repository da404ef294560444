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

// Guards on LIBXML_VERSION keep one source for libxml2 2.9 to 2.15.
namespace pibgen::xml {
namespace {

// See ExpansionBudget.
constexpr uint64_t kExpansionAllowance = uint64_t{16} << 20;
constexpr uint64_t kNodeAllowance = uint64_t{1} << 20;
constexpr uint32_t kMaxDepth = 256;  // libxml2's own, without XML_PARSE_HUGE
constexpr uint32_t kInRoot = 1, kInField = 2, kInChild = 3;  // depths of open elements

#if LIBXML_VERSION >= 21200
using ErrorPointer = const xmlError*;
#else
using ErrorPointer = xmlErrorPtr;
#endif

bool IsXmlSpace(char c) {
  constexpr uint64_t kSpaces = 1ull << ' ' | 1ull << '\n' | 1ull << '\t' | 1ull << '\r';
  return static_cast<unsigned char>(c) <= ' ' && (kSpaces >> static_cast<unsigned char>(c) & 1);
}
bool Visible(std::string_view text) { return !std::all_of(text.begin(), text.end(), IsXmlSpace); }
std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}
std::string_view View(const xmlChar* text, int length = -1) {
  const auto* chars = reinterpret_cast<const char*>(text);
  return !chars ? std::string_view() : length < 0 ? chars : std::string_view(chars, size_t(length));
}

// Line of the innermost input of a parser context (which may be an entity's), or of the document.
uint32_t InputLine(xmlParserCtxt* context, bool innermost) {
  int line = 0;
#if LIBXML_VERSION >= 21500
  xmlCtxtGetInputPosition(context, innermost ? -1 : 0, nullptr, &line, nullptr, nullptr);
#else
  const xmlParserInput* input =
      innermost || context->inputNr < 1 ? context->input : context->inputTab[0];
  if (input != nullptr) line = input->line;
#endif
  return line < 1 ? 1 : static_cast<uint32_t>(line);
}

// Which of libxml2's limits an error reports: its codes differ between versions, its messages
// do not.
ReadFailure Classify(const xmlError& error) {
  const std::string_view message = error.message != nullptr ? error.message : "";
  if (error.code == XML_ERR_ENTITY_LOOP || message.find("amplification") != message.npos)
    return ReadFailure::kBeyondBounds;
  return message.find("depth in document") != message.npos ? ReadFailure::kTooDeep
                                                           : ReadFailure::kNotWellFormed;
}

void IgnoreMessage(void*, const char*, ...) {}

// Counts the text kept and the nodes met against what the input read so far allows: entities
// may add kExpansionAllowance of text beyond what the input holds, and kNodeAllowance nodes
// beyond one for every two bytes read. Past that the description counts as an expansion bomb.
class ExpansionBudget {
 public:
  // Whether chars and nodes more still fit; the limits move up only as the input is read.
  bool Spend(uint64_t chars, uint64_t nodes, uint64_t bytes_read) {
    chars_ += chars;
    nodes_ += nodes;
    return (chars_ <= chars_limit_ && nodes_ <= nodes_limit_) || Recount(bytes_read);
  }
  // Text counted that was not kept after all.
  void Return(uint64_t chars) { chars_ -= chars; }

 private:
  [[gnu::noinline]] bool Recount(uint64_t bytes_read) {
    chars_limit_ = bytes_read + kExpansionAllowance;
    nodes_limit_ = bytes_read / 2 + kNodeAllowance;
    return chars_ <= chars_limit_ && nodes_ <= nodes_limit_;
  }

  uint64_t chars_ = 0, nodes_ = 0, chars_limit_ = 0, nodes_limit_ = 0;
};

// One SAX2 parse of the description. Nothing outside the source is read or even looked up:
// every external entity and DTD is refused before libxml2 could name its path to the system.
class Reader {
 public:
  Reader(file::SourceFile& source, DescriptionHandler& handler)
      : source_(source), handler_(handler), wants_attributes_(handler.WantsAttributes()) {}
  // Sets libxml2 up, parses the whole source into the handler, and says how it went.
  ReadResult Run();

  void Note(ReadFailure failure, uint32_t line) {
    if (failure_ == ReadFailure::kNone) failure_ = failure, line_ = line;
  }
  // Entity content may be parsed in a context of its own; it shares the private pointer.
  static Reader* Of(void* ctx) {
#if LIBXML_VERSION >= 21400
    return static_cast<Reader*>(xmlCtxtGetPrivate(static_cast<xmlParserCtxt*>(ctx)));
#else
    return static_cast<Reader*>(static_cast<xmlParserCtxt*>(ctx)->_private);
#endif
  }
  void Refuse(void* ctx, ReadFailure failure, char reference = '&', const xmlChar* name = nullptr) {
    if (failure_ == ReadFailure::kNone && name != nullptr) {
      entity_ = reference;
      entity_ += View(name);
      entity_ += ';';
    }
    Note(failure, InputLine(main_, false));  // the document's line, not an entity's
    Stop(ctx);
  }
  // Refuses a reference ("&" or "%" and the name) to an entity the document does not declare,
  // or declares as external: libxml2 would read the one as empty text and look the other up.
  static bool Refused(void* ctx, const xmlEntity* declared, char reference, const xmlChar* name) {
    const bool refused = declared == nullptr ||
                         declared->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                         declared->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
                         declared->etype == XML_EXTERNAL_PARAMETER_ENTITY;
    if (refused)
      Of(ctx)->Refuse(ctx, declared ? ReadFailure::kExternalEntity : ReadFailure::kUndeclaredEntity,
                      reference, name);
    return refused;
  }
  static void OnError(void* ctx, ErrorPointer error) {
    Reader* reader = Of(ctx);  // null while the context is being created
    if (reader == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
    reader->Note(Classify(*error), InputLine(reader->main_, false));
  }

 private:
  static xmlSAXHandler Handlers();
  bool CreateContext(xmlSAXHandler& content);
  ReadResult Finish();

  // Runs a content callback's step unless the read failed; an exception must not reach libxml2.
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
  // Reads what libxml2 asks for straight into its buffer, which stays warm in the cache. Short
  // reads are gathered up: the parser needs the first bytes together to tell the encoding.
  static int Read(void* self, char* buffer, int length) {
    Reader& r = *static_cast<Reader*>(self);
    const auto wanted = static_cast<size_t>(std::max(length, 0));
    size_t filled = 0;
    while (!r.at_end_ && filled < wanted) {
      const ptrdiff_t piece = r.source_.Read(buffer + filled, wanted - filled);
      if (piece < 0 || static_cast<size_t>(piece) > wanted - filled)
        return r.unreadable_ = true, -1;
      r.at_end_ = piece == 0;
      filled += static_cast<size_t>(piece);
      r.bytes_read_ += static_cast<uint64_t>(piece);
    }
    return static_cast<int>(filled);
  }
  void Stop(void* ctx) {
    auto* context = static_cast<xmlParserCtxt*>(ctx);
#if LIBXML_VERSION < 21400
    // Else a stopped parse stays well-formed, and a failed entity lookup retries libxml2's own.
    context->wellFormed = main_->wellFormed = 0;
#endif
    xmlStopParser(context);
    if (main_ != context) xmlStopParser(main_);
  }
  void Fail(ReadFailure failure) {
    Note(failure, 0);
    if (ctx_ != nullptr) Stop(ctx_);
  }
  void Deliver(bool go_on) {
    if (!go_on) Fail(ReadFailure::kStopped);
  }
  // Counts text kept and nodes met against the budget; false once the read failed.
  bool Spend(uint64_t chars, uint64_t nodes) {
    if (!budget_.Spend(chars, nodes, bytes_read_)) [[unlikely]]
      Fail(ReadFailure::kBeyondBounds);
    return failure_ == ReadFailure::kNone;
  }
  uint32_t Line() const { return InputLine(static_cast<xmlParserCtxt*>(ctx_), true); }
  // Ends the run of characters before a node. Visible text directly in a field is a child of
  // its own; a run that stayed white space is dropped, also from an element child's text.
  void CloseRun() {
    if (depth_ >= kInChild) {
      if (!Visible(std::string_view(text_).substr(run_start_))) {
        budget_.Return(text_.size() - run_start_);
        text_.resize(run_start_);
      }
      run_start_ = text_.size();
    } else if (!run_visible_) {
      budget_.Return(run_chars_);
    } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
      Deliver(handler_.FieldChild(NodeKind::kText, "#text", Trim(text_), child_line_));
    }
    run_visible_ = false;
    run_chars_ = 0;
  }

  void StartElement(const xmlChar* prefix, const xmlChar* local, int declared,
                    const xmlChar** declarations, int count, const xmlChar** attributes) {
    CloseRun();
    if (!Spend(0, 1)) return;  // a stopped parser may have freed what it passed
    std::string_view name = View(local);
    if (prefix != nullptr) name = qualified_.assign(View(prefix)).append(":").append(name);
    if (++depth_ == kInChild) {
      child_name_ = prefix == nullptr ? name : std::string_view(child_qualified_.assign(name));
      child_line_ = Line();
      text_.clear();
      run_start_ = 0;
      return;
    }
    if (depth_ <= kInField) OpenRootOrField(name, declared, declarations, count, attributes);
  }

  // The root or a field, with its attributes and namespace declarations.
  [[gnu::noinline]] void OpenRootOrField(std::string_view name, int declared,
                                         const xmlChar** declarations, int count,
                                         const xmlChar** attributes) {
    // Five pointers an attribute: to the local name, the prefix, the namespace, and the
    // value's start and end. Values count against the budget, whether handed on or not.
    if (!wants_attributes_) {
      uint64_t value_chars = 0;
      for (int i = 0; i < count; ++i)
        value_chars += size_t(attributes[5 * i + 4] - attributes[5 * i + 3]);
      count = declared = 0;
      if (!Spend(value_chars, 0)) return;
    }
    attributes_.resize(size_t(count));
    if (qualified_names_.size() < attributes_.size()) qualified_names_.resize(attributes_.size());
    uint64_t value_chars = 0;
    for (size_t i = 0; i < attributes_.size(); ++i) {
      const xmlChar* const* attribute = attributes + 5 * i;
      std::string_view attribute_name = View(attribute[0]);
      if (attribute[1] != nullptr)
        attribute_name = qualified_names_[i].assign(View(attribute[1])).append(":") +=
            attribute_name;
      attributes_[i] = {attribute_name, View(attribute[3], int(attribute[4] - attribute[3]))};
      value_chars += attributes_[i].value.size();
    }
    // Two pointers a declaration: to the prefix (null for xmlns="...") and the URI.
    namespaces_.resize(size_t(declared));
    for (size_t i = 0; i < namespaces_.size(); ++i) {
      namespaces_[i] = {View(declarations[2 * i]), View(declarations[2 * i + 1])};
      value_chars += namespaces_[i].uri.size();
    }
    if (!Spend(value_chars, 0)) return;
    if (depth_ == kInRoot) {
      had_root_ = true;
      Deliver(handler_.Root(name, attributes_, namespaces_, Line()));
    } else {
      Deliver(handler_.BeginField(++root_children_, name, attributes_, namespaces_, Line()));
    }
  }

  void EndElement() {
    CloseRun();
    if (depth_ == kInChild && failure_ == ReadFailure::kNone) {
      Deliver(handler_.FieldChild(NodeKind::kElement, child_name_, Trim(text_), child_line_));
    } else if (depth_ == kInField && failure_ == ReadFailure::kNone) {
      Deliver(handler_.EndField());
    }
    if (depth_ > 0) --depth_;
  }

  void Characters(std::string_view text) {
    if (depth_ >= kInChild) {  // an element child's text: the bulk of a description
      if (Spend(text.size(), 0)) text_.append(text);
    } else if (depth_ > 0) {
      run_chars_ += text.size();
      // A stopped parser may have freed the text.
      if (!Spend(text.size(), 0)) return;
      if (!run_visible_) {
        if (Visible(text)) StartVisibleRun(text);
      } else if (depth_ == kInField) {
        text_.append(text);
      }
    }
  }

  // Visible text directly in the root or in a field: no field in the one, a child of its own in
  // the other. It is on the line of its first visible character: the parser reports text once
  // it has read it, so the line feeds after it count back.
  [[gnu::noinline]] void StartVisibleRun(std::string_view text) {
    run_visible_ = true;
    const auto visible = std::find_if_not(text.begin(), text.end(), IsXmlSpace);
    const auto after = static_cast<uint32_t>(std::count(visible, text.end(), '\n'));
    child_line_ = std::max(Line(), after + 1) - after;
    if (!Spend(0, 1)) return;
    if (depth_ == kInRoot) {
      return Deliver(handler_.OtherRootChild(++root_children_, NodeKind::kText, child_line_));
    }
    text_.assign(visible, text.end());
  }

  // A node that is whole in one callback: CDATA, a comment, a processing instruction.
  void Leaf(NodeKind kind, std::string_view name, std::string_view data) {
    CloseRun();
    if (depth_ == 0 || !Spend(data.size(), 1)) return;
    if (depth_ == kInRoot) {
      Deliver(handler_.OtherRootChild(++root_children_, kind, Line()));
    } else if (depth_ == kInField) {
      Deliver(handler_.FieldChild(kind, name, Trim(data), Line()));
    } else if (kind == NodeKind::kCData) {
      // Part of the element child's text, and of no run; comments and instructions are not.
      run_start_ = text_.append(data).size();
    }
  }

  file::SourceFile& source_;
  DescriptionHandler& handler_;
  const bool wants_attributes_;
  xmlParserCtxt* main_ = nullptr;  // the document's parser context; ctx_ the running callback's
  void* ctx_ = nullptr;
  ReadFailure failure_ = ReadFailure::kNone;
  // The run of characters since the last node, which forms no node if it is only white space,
  // began at run_start_ in text_ and counted run_chars_.
  bool unreadable_ = false, at_end_ = false, had_root_ = false, run_visible_ = false;
  size_t run_start_ = 0;
  uint64_t bytes_read_ = 0, run_chars_ = 0;
  ExpansionBudget budget_;
  uint32_t line_ = 0, depth_ = 0, root_children_ = 0, child_line_ = 0;
  std::vector<Attribute> attributes_;
  std::vector<Namespace> namespaces_;
  std::vector<std::string> qualified_names_;
  // qualified_: the element's name with its prefix; child_name_ is in the parser's dictionary
  // or child_qualified_.
  std::string entity_, qualified_, child_qualified_, text_;
  std::string_view child_name_;
};

// libxml2's process- and thread-wide settings that a read needs, taken for the read alone
// and given back when it ends, so that a program reading descriptions keeps its own: before
// 2.14 the only way to refuse a resource is the process-wide loader, and before 2.13 libxml2
// prints its messages through the thread's error functions.
class BorrowedLibxmlSettings {
 public:
  BorrowedLibxmlSettings() {
    xmlInitParser();
#if LIBXML_VERSION < 21400
    loader_ = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader([](const char*, const char*, xmlParserCtxt* context) {
      if (context != nullptr && Reader::Of(context) != nullptr) {
        Reader::Of(context)->Refuse(context, ReadFailure::kExternalEntity);
      }
      return xmlParserInputPtr{nullptr};
    });
#endif
#if LIBXML_VERSION < 21300
    generic_ = xmlGenericError;
    generic_context_ = xmlGenericErrorContext;
    structured_ = xmlStructuredError;
    structured_context_ = xmlStructuredErrorContext;
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    xmlSetStructuredErrorFunc(nullptr, [](void*, ErrorPointer) {});
#endif
  }
  ~BorrowedLibxmlSettings() {
#if LIBXML_VERSION < 21400
    xmlSetExternalEntityLoader(loader_);
#endif
#if LIBXML_VERSION < 21300
    xmlSetGenericErrorFunc(generic_context_, generic_);
    xmlSetStructuredErrorFunc(structured_context_, structured_);
#endif
  }
  BorrowedLibxmlSettings(const BorrowedLibxmlSettings&) = delete;
  BorrowedLibxmlSettings& operator=(const BorrowedLibxmlSettings&) = delete;

 private:
#if LIBXML_VERSION < 21400
  xmlExternalEntityLoader loader_ = nullptr;
#endif
#if LIBXML_VERSION < 21300
  xmlGenericErrorFunc generic_ = nullptr;
  void* generic_context_ = nullptr;
  xmlStructuredErrorFunc structured_ = nullptr;
  void* structured_context_ = nullptr;
#endif
};

xmlSAXHandler Reader::Handlers() {
  // libxml2's own handling of the DTD and internal entities, the guards, the content callbacks.
  // The external subset is never read: its declarations do not exist.
  xmlSAXHandler content;
  std::memset(&content, 0, sizeof content);
  xmlSAXVersion(&content, 2);
  content.getEntity = [](void* ctx, const xmlChar* name) -> xmlEntity* {
    const xmlEntity* declared = xmlGetDocEntity(static_cast<xmlParserCtxt*>(ctx)->myDoc, name);
    return Refused(ctx, declared, '&', name) ? nullptr : xmlSAX2GetEntity(ctx, name);
  };
  content.getParameterEntity = [](void* ctx, const xmlChar* name) -> xmlEntity* {
    xmlEntity* declared = xmlGetParameterEntity(static_cast<xmlParserCtxt*>(ctx)->myDoc, name);
    return Refused(ctx, declared, '%', name) ? nullptr : declared;
  };
  content.resolveEntity = [](void* ctx, const xmlChar*, const xmlChar*) {
    Of(ctx)->Refuse(ctx, ReadFailure::kExternalEntity);
    return xmlParserInputPtr{nullptr};
  };
  content.externalSubset = [](void*, const xmlChar*, const xmlChar*, const xmlChar*) {};
  content.reference = nullptr;
  content.warning = content.error = content.fatalError = IgnoreMessage;
  content.serror = LIBXML_VERSION >= 21300 ? nullptr : OnError;
  content.startElementNs = [](void* ctx, const xmlChar* name, const xmlChar* prefix, const xmlChar*,
                              int declared, const xmlChar** declarations, int count, int,
                              const xmlChar** attributes) {
    Guard(ctx, [&](Reader& reader) {
      reader.StartElement(prefix, name, declared, declarations, count, attributes);
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
    Guard(ctx,
          [&](Reader& r) { r.Leaf(NodeKind::kProcessingInstruction, View(target), View(data)); });
  };
  return content;
}

bool Reader::CreateContext(xmlSAXHandler& content) {
  // The source is the caller's to close; libxml2 gets a no-op.
  main_ = xmlCreateIOParserCtxt(
      &content, nullptr, Read, [](void*) { return 0; }, this, XML_CHAR_ENCODING_NONE);
  if (main_ == nullptr) return false;
#if LIBXML_VERSION >= 21400
  xmlCtxtSetPrivate(main_, this);
  // The flags' type changed within 2.14's lifetime, so it is left to the compiler.
  xmlCtxtSetResourceLoader(
      main_,
      [](void* reader, const char*, const char*, xmlResourceType, auto, xmlParserInput** out) {
        *out = nullptr;
        static_cast<Reader*>(reader)->Note(ReadFailure::kExternalEntity, 0);
        return XML_IO_EACCES;
      },
      this);
#else
  main_->_private = this;
#endif
#if LIBXML_VERSION >= 21300
  xmlCtxtSetErrorHandler(main_, OnError, main_);
  constexpr int kNoExternalEntities = XML_PARSE_NO_XXE;
#else
  constexpr int kNoExternalEntities = 0;
#endif
  // Entities become their text. Errors stay on: from 2.13 the option would hide them from OnError.
  xmlCtxtUseOptions(main_, XML_PARSE_NOENT | XML_PARSE_NONET | kNoExternalEntities);
  return true;
}

ReadResult Reader::Finish() {
  ctx_ = nullptr;
  CloseRun();
#if LIBXML_VERSION >= 21400
  const bool well_formed = (xmlCtxtGetStatus(main_) & XML_STATUS_NOT_WELL_FORMED) == 0;
  xmlFreeDoc(xmlCtxtGetDocument(main_));
#else
  const bool well_formed = main_->wellFormed != 0;
  xmlFreeDoc(main_->myDoc);
#endif
  if (!well_formed) Note(ReadFailure::kNotWellFormed, InputLine(main_, true));
  if (!had_root_ || depth_ != 0) Note(ReadFailure::kNotWellFormed, 0);
  xmlFreeParserCtxt(main_);
  if (unreadable_) return {ReadFailure::kUnreadable, 0, {}};
  if (bytes_read_ == 0) return {ReadFailure::kNotWellFormed, 1, {}};  // libxml2 needs bytes
  return {failure_, failure_ == ReadFailure::kNone ? 0 : line_, entity_};
}

ReadResult Reader::Run() {
  const BorrowedLibxmlSettings settings;
  xmlSAXHandler content = Handlers();
  if (!CreateContext(content)) return {ReadFailure::kBeyondBounds, 0, {}};
  xmlParseDocument(main_);
  return Finish();
}

}  // namespace

uint32_t MaxNestingDepth() { return kMaxDepth; }

ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler) {
  try {
    Reader reader(source, handler);
    return reader.Run();
  } catch (const std::bad_alloc&) {
    return {ReadFailure::kBeyondBounds, 0, {}};
  }
}

}  // namespace pibgen::xml
