#pragma once

#include <cstdint>

typedef struct _xmlParserCtxt xmlParserCtxt;
typedef struct _xmlSAXHandler xmlSAXHandler;

namespace pibgen::xml {

// Fills sax with libxml2's own SAX2 handling of the DTD and entities and no error output; the
// caller adds its callbacks for the document's content.
void InitSaxHandler(xmlSAXHandler* sax);

// A libxml2 parser for one description, read through read(io, buffer, length): entities are
// replaced by their text, and nothing outside the description is read or looked up. The
// callbacks get the parser's context, whose _private the caller may set.
class SaxParser {
 public:
  using ReadFunction = int (*)(void* io, char* buffer, int length);
  SaxParser(xmlSAXHandler* sax, ReadFunction read, void* io);
  ~SaxParser();
  SaxParser(const SaxParser&) = delete;
  SaxParser& operator=(const SaxParser&) = delete;

  // Null when no parser could be made (the input failed before the first byte).
  xmlParserCtxt* context() const { return context_; }
  void Parse();
  bool WellFormed() const;
  // Whether the document reached for an external entity or DTD, which is refused.
  bool ReachedOutside() const;
  // Line of the first syntax error, if the document is not well-formed.
  uint32_t ErrorLine() const;

 private:
  xmlParserCtxt* context_;
};

}  // namespace pibgen::xml
