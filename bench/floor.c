/* The least any converter built on libxml2 must spend: a SAX parse of the description that
 * looks at every element name and every character of text, and keeps nothing. It prints the
 * element count and a sum over the text so the work cannot be optimised away.
 *
 *     pibgen_floor DESCRIPTION
 */
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <stdio.h>
#include <string.h>

struct Tally {
  unsigned long elements;
  unsigned long text_sum;
};

static void OnStart(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int namespace_count, const xmlChar** namespaces, int attribute_count,
                    int defaulted_count, const xmlChar** attributes) {
  struct Tally* tally = ((xmlParserCtxtPtr)ctx)->_private;
  (void)prefix, (void)uri, (void)namespace_count, (void)namespaces, (void)attribute_count;
  (void)defaulted_count, (void)attributes;
  tally->elements++;
  tally->text_sum += localname[0];
}

static void OnCharacters(void* ctx, const xmlChar* text, int length) {
  struct Tally* tally = ((xmlParserCtxtPtr)ctx)->_private;
  unsigned long sum = 0;
  for (int i = 0; i < length; ++i) sum += text[i];
  tally->text_sum += sum;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    printf("usage: pibgen_floor DESCRIPTION\n");
    return 2;
  }
  xmlSAXHandler handler;
  memset(&handler, 0, sizeof handler);
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = OnStart;
  handler.characters = OnCharacters;
  handler.ignorableWhitespace = OnCharacters;

  struct Tally tally = {0, 0};
  xmlParserCtxtPtr context = xmlCreateURLParserCtxt(argv[1], XML_PARSE_NONET);
  if (context == NULL) {
    printf("cannot open %s\n", argv[1]);
    return 1;
  }
  xmlSAXHandlerPtr original = context->sax;
  context->sax = &handler;
  context->userData = context;
  context->_private = &tally;
  xmlParseDocument(context);
  const int ok = context->wellFormed;
  context->sax = original;
  xmlFreeParserCtxt(context);
  printf("%s: %lu elements, text sum %lu\n", ok ? "ok" : "not well-formed", tally.elements,
         tally.text_sum);
  return ok ? 0 : 1;
}
