#include "xml/libxml_sax_parser.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <cstring>
#include <string_view>

// libxml2 2.12 passes errors as const; 2.13 adds per-parser error handlers and
// XML_PARSE_NO_XXE; 2.14 adds per-parser resource loaders and accessors for the parser
// context; 2.15 reports the input position through a call.
#define PIBGEN_LIBXML_CONST_ERRORS (LIBXML_VERSION >= 21200)
#define PIBGEN_LIBXML_CONTEXT_ERROR_HANDLER (LIBXML_VERSION >= 21300)
#define PIBGEN_LIBXML_NO_XXE (LIBXML_VERSION >= 21300)
#define PIBGEN_LIBXML_RESOURCE_LOADER (LIBXML_VERSION >= 21400)
#define PIBGEN_LIBXML_CONTEXT_ACCESSORS (LIBXML_VERSION >= 21400)
#define PIBGEN_LIBXML_INPUT_POSITION (LIBXML_VERSION >= 21500)

namespace pibgen::xml {

struct LibxmlSaxParser::State {
  void* user = nullptr;
  xmlParserCtxt* main = nullptr;
  // The first reason the parse stopped: a refusal of the entity guards, an error libxml2
  // reported (classified), or the reader's Stop (kReader). What follows from it is not news.
  LoadError first;
  void Note(LoadFailure failure, uint32_t line) {
    if (first.failure != LoadFailure::kNone) return;
    first.failure = failure;
    first.line = line;
  }
};

namespace {

#if PIBGEN_LIBXML_CONST_ERRORS
using ErrorPointer = const xmlError*;
#else
using ErrorPointer = xmlErrorPtr;
#endif

using State = LibxmlSaxParser::State;

xmlParserCtxt* ContextOf(void* ctx) { return static_cast<xmlParserCtxt*>(ctx); }

// Entity content may be parsed in a context of its own; it shares the private pointer.
State* StateOf(void* ctx) {
#if PIBGEN_LIBXML_CONTEXT_ACCESSORS
  return static_cast<State*>(xmlCtxtGetPrivate(ContextOf(ctx)));
#else
  return static_cast<State*>(ContextOf(ctx)->_private);
#endif
}

// The document libxml2 builds for the DTD's declarations while the parse goes on. Its
// accessor from 2.14 on hands the document over, so it is only for the end.
xmlDoc* DocumentOf(xmlParserCtxt* context) { return context->myDoc; }

void FreeDocument(xmlParserCtxt* context) {
#if PIBGEN_LIBXML_CONTEXT_ACCESSORS
  xmlFreeDoc(xmlCtxtGetDocument(context));
#else
  xmlFreeDoc(context->myDoc);
  context->myDoc = nullptr;
#endif
}

// Line of an input of the parser: the innermost (the text being parsed, which may be an
// entity's), or the outermost (the document itself).
uint32_t InputLine(xmlParserCtxt* context, bool innermost) {
  int line = 0;
#if PIBGEN_LIBXML_INPUT_POSITION
  if (xmlCtxtGetInputPosition(context, innermost ? -1 : 0, nullptr, &line, nullptr, nullptr) < 0) {
    line = 0;
  }
#else
  const xmlParserInput* input =
      innermost || context->inputNr < 1 ? context->input : context->inputTab[0];
  if (input != nullptr) line = input->line;
#endif
  return line < 1 ? 1 : static_cast<uint32_t>(line);
}

bool WellFormed(xmlParserCtxt* context) {
#if PIBGEN_LIBXML_CONTEXT_ACCESSORS
  return (xmlCtxtGetStatus(context) & XML_STATUS_NOT_WELL_FORMED) == 0;
#else
  return context->wellFormed != 0;
#endif
}

void StopContexts(xmlParserCtxt* context, State* state) {
#if !PIBGEN_LIBXML_CONTEXT_ACCESSORS
  // Before 2.14, stopping leaves the document marked well-formed, and an entity lookup that
  // found nothing then retries with libxml2's own lookup, which loads external entities.
  context->wellFormed = 0;
  if (state->main != nullptr) state->main->wellFormed = 0;
#endif
  xmlStopParser(context);
  if (state->main != nullptr && state->main != context) xmlStopParser(state->main);
}

// `reference` is how the entity was referred to, "&" or "%".
void Refuse(void* ctx, LoadFailure failure, const char* reference, const xmlChar* name) {
  xmlParserCtxt* context = ContextOf(ctx);
  State* state = StateOf(ctx);
  if (state->first.failure == LoadFailure::kNone) {
    // The line in the document, not in an entity's text.
    state->Note(failure, InputLine(state->main != nullptr ? state->main : context, false));
    if (name != nullptr) {
      state->first.entity = reference;
      state->first.entity += reinterpret_cast<const char*>(name);
      state->first.entity += ';';
    }
  }
  StopContexts(context, state);
}

bool IsExternal(const xmlEntity* entity) {
  return entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
         entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
         entity->etype == XML_EXTERNAL_PARAMETER_ENTITY;
}

// libxml2 asks these for every entity reference, before it would load anything. An external
// entity is refused here: libxml2's own lookup and loading would look its path up first. A
// name the document does not declare is refused too, rather than read as empty text.
xmlEntity* GetEntity(void* ctx, const xmlChar* name) {
  const xmlEntity* declared = xmlGetDocEntity(DocumentOf(ContextOf(ctx)), name);
  if (declared == nullptr) {
    Refuse(ctx, LoadFailure::kUndeclaredEntity, "&", name);
    return nullptr;
  }
  if (IsExternal(declared)) {
    Refuse(ctx, LoadFailure::kExternalEntity, "&", name);
    return nullptr;
  }
  return xmlSAX2GetEntity(ctx, name);  // keeps libxml2's standalone checks
}

xmlEntity* GetParameterEntity(void* ctx, const xmlChar* name) {
  xmlEntity* declared = xmlGetParameterEntity(DocumentOf(ContextOf(ctx)), name);
  if (declared == nullptr) {
    Refuse(ctx, LoadFailure::kUndeclaredEntity, "%", name);
    return nullptr;
  }
  if (IsExternal(declared)) {
    Refuse(ctx, LoadFailure::kExternalEntity, "%", name);
    return nullptr;
  }
  return declared;
}

xmlParserInput* RefuseResolve(void* ctx, const xmlChar*, const xmlChar*) {
  Refuse(ctx, LoadFailure::kExternalEntity, "", nullptr);
  return nullptr;
}

// The external subset is never read; its declarations simply do not exist.
void SkipExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

void IgnoreMessage(void*, const char*, ...) {}
void IgnoreError(void*, ErrorPointer) {}

// Which of libxml2's limits an error reports. Its codes do not tell (2.9 reports the depth
// limit as an internal error, 2.11 on both limits as one resource limit), so the message does.
LoadFailure Classify(const xmlError& error) {
  if (error.code == XML_ERR_ENTITY_LOOP) return LoadFailure::kEntityExpansion;
  const std::string_view message = error.message != nullptr ? error.message : "";
  if (message.find("depth in document") != std::string_view::npos) {
    return LoadFailure::kNestingDepth;
  }
  if (message.find("amplification") != std::string_view::npos) {
    return LoadFailure::kEntityExpansion;
  }
  return LoadFailure::kSyntax;
}

void NoteError(State* state, ErrorPointer error) {
  if (state == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  // The line in the document, not in an entity's text, which error->line may count.
  const uint32_t line = state->main != nullptr ? InputLine(state->main, false)
                        : error->line > 0      ? static_cast<uint32_t>(error->line)
                                               : 0;
  state->Note(Classify(*error), line);
}

#if PIBGEN_LIBXML_CONTEXT_ERROR_HANDLER
void OnError(void* state, ErrorPointer error) { NoteError(static_cast<State*>(state), error); }
#else
void OnError(void* ctx, ErrorPointer error) { NoteError(StateOf(ctx), error); }
#endif

#if PIBGEN_LIBXML_RESOURCE_LOADER
// The flags' type changed within 2.14's lifetime; it is taken from libxml2's own declaration.
template <typename Flags>
xmlParserErrors RefuseResource(void* state, const char*, const char*, xmlResourceType, Flags,
                               xmlParserInput** out) {
  *out = nullptr;
  static_cast<State*>(state)->Note(LoadFailure::kExternalEntity, 0);
  return XML_IO_EACCES;
}
#else
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr context) {
  if (context != nullptr) Refuse(context, LoadFailure::kExternalEntity, "", nullptr);
  return nullptr;
}
#endif

// Process-wide settings, made once: libxml2 prints nothing of its own, and before 2.14 the
// only way to refuse a resource is the process-wide loader.
void SetUpLibxml() {
  static const bool done = [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    xmlSetStructuredErrorFunc(nullptr, IgnoreError);
#if !PIBGEN_LIBXML_RESOURCE_LOADER
    xmlSetExternalEntityLoader(RefuseExternalEntity);
#endif
    return true;
  }();
  (void)done;
}

// libxml2's own handling of the DTD and of internal entities, the guards above, and the
// reader's content callbacks.
xmlSAXHandler MakeHandler(const xmlSAXHandler& content) {
  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof handler);
  xmlSAXVersion(&handler, 2);
  handler.getEntity = GetEntity;
  handler.getParameterEntity = GetParameterEntity;
  handler.resolveEntity = RefuseResolve;
  handler.externalSubset = SkipExternalSubset;
  handler.reference = nullptr;
  handler.startElement = nullptr;
  handler.endElement = nullptr;
  handler.startElementNs = content.startElementNs;
  handler.endElementNs = content.endElementNs;
  handler.characters = content.characters;
  handler.ignorableWhitespace = content.ignorableWhitespace;
  handler.cdataBlock = content.cdataBlock;
  handler.comment = content.comment;
  handler.processingInstruction = content.processingInstruction;
  handler.warning = IgnoreMessage;
  handler.error = IgnoreMessage;
  handler.fatalError = IgnoreMessage;
#if PIBGEN_LIBXML_CONTEXT_ERROR_HANDLER
  handler.serror = nullptr;
#else
  handler.serror = OnError;
#endif
  return handler;
}

// Entities are replaced by their text, as a reader of the description expects; network
// access is off in any case. Errors are not switched off by option: from 2.13 on that would
// also hide them from the handler that tells which limit was hit.
constexpr int kParseOptions = XML_PARSE_NOENT | XML_PARSE_NONET
#if PIBGEN_LIBXML_NO_XXE
                              | XML_PARSE_NO_XXE
#endif
    ;

}  // namespace

LibxmlSaxParser::LibxmlSaxParser(const xmlSAXHandler& content, void* user, ReadCallback read,
                                 void* source)
    : state_(std::make_unique<State>()) {
  SetUpLibxml();
  state_->user = user;
  xmlSAXHandler handler = MakeHandler(content);
  // The source is the caller's to close; libxml2 gets a no-op.
  context_ = xmlCreateIOParserCtxt(
      &handler, nullptr, read, [](void*) { return 0; }, source, XML_CHAR_ENCODING_NONE);
  Configure();
}

LibxmlSaxParser::LibxmlSaxParser(const xmlSAXHandler& content, void* user)
    : state_(std::make_unique<State>()) {
  SetUpLibxml();
  state_->user = user;
  xmlSAXHandler handler = MakeHandler(content);
  context_ = xmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, nullptr);
  Configure();
}

void LibxmlSaxParser::Configure() {
  if (context_ == nullptr) return;
  state_->main = context_;
#if PIBGEN_LIBXML_CONTEXT_ACCESSORS
  xmlCtxtSetPrivate(context_, state_.get());
#else
  context_->_private = state_.get();
#endif
#if PIBGEN_LIBXML_CONTEXT_ERROR_HANDLER
  xmlCtxtSetErrorHandler(context_, OnError, state_.get());
#endif
#if PIBGEN_LIBXML_RESOURCE_LOADER
  xmlCtxtSetResourceLoader(context_, RefuseResource, state_.get());
#endif
  xmlCtxtUseOptions(context_, kParseOptions);
}

LibxmlSaxParser::~LibxmlSaxParser() {
  if (context_ == nullptr) return;
  FreeDocument(context_);
  xmlFreeParserCtxt(context_);
}

void LibxmlSaxParser::Parse() {
  if (context_ != nullptr) xmlParseDocument(context_);
}

bool LibxmlSaxParser::Push(const char* data, size_t size, bool last) {
  if (context_ == nullptr) return false;
  // libxml2 takes a piece's length as an int.
  constexpr size_t kMaxPiece = size_t{1} << 30;
  while (size > kMaxPiece) {
    if (xmlParseChunk(context_, data, static_cast<int>(kMaxPiece), 0) != 0) return false;
    data += kMaxPiece;
    size -= kMaxPiece;
  }
  return xmlParseChunk(context_, data, static_cast<int>(size), last ? 1 : 0) == 0 &&
         state_->first.failure == LoadFailure::kNone;
}

LoadError LibxmlSaxParser::Result() const {
  if (context_ == nullptr) return {LoadFailure::kReader, 0, {}};
  if (state_->first.failure != LoadFailure::kNone) return state_->first;
  if (WellFormed(context_)) return {};
  return {LoadFailure::kSyntax, InputLine(context_, true), {}};
}

void* LibxmlSaxParser::User(void* ctx) { return StateOf(ctx)->user; }

uint32_t LibxmlSaxParser::Line(void* ctx) { return InputLine(ContextOf(ctx), true); }

void LibxmlSaxParser::Stop(void* ctx) {
  State* state = StateOf(ctx);
  state->Note(LoadFailure::kReader, 0);
  StopContexts(ContextOf(ctx), state);
}

}  // namespace pibgen::xml
