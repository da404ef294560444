#include "xml/sax_parser.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cstring>

namespace pibgen::xml {
namespace {

// Whether the parse in progress reached for an external entity. The external entity loader
// has no user pointer of its own, and one process reads one description at a time.
thread_local bool external_access_attempted = false;

xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  external_access_attempted = true;
  return nullptr;
}

void IgnoreGenericError(void*, const char*, ...) {}
#if LIBXML_VERSION >= 21200
void IgnoreStructuredError(void*, const xmlError*) {}
#else
void IgnoreStructuredError(void*, xmlErrorPtr) {}
#endif

void SilenceLibxml() {
  static const bool done = [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
    xmlSetExternalEntityLoader(RefuseExternalEntity);
    return true;
  }();
  (void)done;
}

int CloseNothing(void*) { return 0; }

}  // namespace

void InitSaxHandler(xmlSAXHandler* sax) {
  std::memset(sax, 0, sizeof *sax);
  xmlSAXVersion(sax, 2);
  sax->warning = IgnoreGenericError;
  sax->error = IgnoreGenericError;
  sax->fatalError = IgnoreGenericError;
  sax->serror = IgnoreStructuredError;
}

SaxParser::SaxParser(xmlSAXHandler* sax, ReadFunction read, void* io) {
  SilenceLibxml();
  external_access_attempted = false;
  context_ = xmlCreateIOParserCtxt(sax, nullptr, read, CloseNothing, io, XML_CHAR_ENCODING_NONE);
  if (context_ == nullptr) return;
  // External entities go to the refusing loader above, and network access is off anyway.
  xmlCtxtUseOptions(context_,
                    XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

SaxParser::~SaxParser() {
  if (context_ == nullptr) return;
  if (context_->myDoc != nullptr) xmlFreeDoc(context_->myDoc);
  context_->myDoc = nullptr;
  xmlFreeParserCtxt(context_);
}

void SaxParser::Parse() { xmlParseDocument(context_); }

bool SaxParser::WellFormed() const { return context_ != nullptr && context_->wellFormed; }

bool SaxParser::ReachedOutside() const { return external_access_attempted; }

uint32_t SaxParser::ErrorLine() const {
  if (context_ == nullptr || context_->wellFormed) return 0;
  const xmlError* error = xmlCtxtGetLastError(context_);
  if (error != nullptr && error->line > 0) return static_cast<uint32_t>(error->line);
  if (context_->input == nullptr || context_->input->line < 1) return 1;
  return static_cast<uint32_t>(context_->input->line);
}

}  // namespace pibgen::xml
