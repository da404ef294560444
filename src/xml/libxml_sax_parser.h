#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

typedef struct _xmlParserCtxt xmlParserCtxt;
typedef struct _xmlSAXHandler xmlSAXHandler;

namespace pibgen::xml {

// Why a document was not loaded.
enum class LoadFailure : uint8_t {
  kNone,
  kSyntax,            // not well-formed XML
  kExternalEntity,    // a reference to an external entity, which is never read
  kUndeclaredEntity,  // a reference to an entity the document itself does not declare
  kNestingDepth,      // elements nest deeper than kMaxNestingDepth
  kEntityExpansion,   // entity references expand beyond the bounds the input's size allows
  kReader,            // the reader stopped the parse for its own reasons, or a read failed
};

// libxml2 refuses documents whose elements nest deeper than this (without XML_PARSE_HUGE,
// which stays off: the limit keeps a hostile document from exhausting the stack).
inline constexpr uint32_t kMaxNestingDepth = 256;

struct LoadError {
  LoadFailure failure = LoadFailure::kNone;
  uint32_t line = 0;   // where the parse stopped, when known; 0 otherwise
  std::string entity;  // the entity failures: the reference, "&name;" or "%name;"
};

// One libxml2 SAX2 parse of a document that must stand on its own. Nothing outside the
// bytes handed in is read or even looked up: every external entity, parameter entity and
// DTD is refused before libxml2 could name its path to the system, on every libxml2 version
// from 2.9.14 on. A reference to an entity the document does not declare stops the parse
// (libxml2 lets it pass as empty text when the document names an external subset). libxml2
// prints nothing. Entities are replaced by their text.
//
// The reader supplies its content callbacks in a handler (startElementNs, endElementNs,
// characters, ignorableWhitespace, cdataBlock, comment, processingInstruction); all other
// members of it are ignored. The callbacks receive the parser context as their first
// argument; User, Line and Stop below take it.
class LibxmlSaxParser {
 public:
  // Reads up to `length` bytes into `buffer`; returns how many, 0 at the end, -1 on failure.
  using ReadCallback = int (*)(void* source, char* buffer, int length);

  // A parser that pulls the document through `read` (Parse).
  LibxmlSaxParser(const xmlSAXHandler& content, void* user, ReadCallback read, void* source);
  // A parser that is handed the document in pieces (Push).
  LibxmlSaxParser(const xmlSAXHandler& content, void* user);
  ~LibxmlSaxParser();
  LibxmlSaxParser(const LibxmlSaxParser&) = delete;
  LibxmlSaxParser& operator=(const LibxmlSaxParser&) = delete;

  // False when the parser could not be set up (out of memory).
  bool Created() const { return context_ != nullptr; }
  // The parser context the callbacks receive for the document itself.
  xmlParserCtxt* Context() const { return context_; }
  // Reads and parses the whole document.
  void Parse();
  // Parses the next piece; `last` ends the document. False once the parse has stopped.
  bool Push(const char* data, size_t size, bool last);
  // Once the parse has ended: why the document was refused, or kNone. A parse the reader
  // stopped through Stop is kReader; the reader knows why.
  LoadError Result() const;

  // For the content callbacks:
  static void* User(void* ctx);
  // The line the parser has reached, counting from 1.
  static uint32_t Line(void* ctx);
  // Ends the parse early.
  static void Stop(void* ctx);

  struct State;

 private:
  void Configure();

  std::unique_ptr<State> state_;
  xmlParserCtxt* context_ = nullptr;
};

}  // namespace pibgen::xml
