#include "xml/libxml_sax_parser.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cstring>
#include <string>

namespace pibgen::xml {
namespace {

// Collects element names and text, as a reader built on the parser would.
struct Collected {
  std::string text;
};

void OnStart(void* ctx, const xmlChar* name, const xmlChar*, const xmlChar*, int, const xmlChar**,
             int, int, const xmlChar**) {
  auto* collected = static_cast<Collected*>(LibxmlSaxParser::User(ctx));
  collected->text += '<';
  collected->text += reinterpret_cast<const char*>(name);
  collected->text += '@' + std::to_string(LibxmlSaxParser::Line(ctx));
  collected->text += '>';
  if (std::strcmp(reinterpret_cast<const char*>(name), "stop") == 0) LibxmlSaxParser::Stop(ctx);
}

void OnCharacters(void* ctx, const xmlChar* text, int length) {
  static_cast<Collected*>(LibxmlSaxParser::User(ctx))
      ->text.append(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

xmlSAXHandler Handler() {
  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof handler);
  handler.startElementNs = OnStart;
  handler.characters = OnCharacters;
  return handler;
}

struct PushCase {
  const char* text;
  LoadFailure failure;
  const char* collected;
};

TEST(LibxmlSaxParser, PushedInPiecesRefusesWhatReachesOutside) {
  const PushCase cases[] = {
      {"<!DOCTYPE r [<!ENTITY v 'ab'>]>\n<r>\n<f>&v;&lt;</f></r>", LoadFailure::kNone,
       "<r@2>\n<f@3>ab<"},
      {"<!DOCTYPE r SYSTEM 'types.dtd'>\n<r>&blob;</r>", LoadFailure::kUndeclaredEntity, "<r@2>"},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/hostname'>]><r>&x;</r>",
       LoadFailure::kExternalEntity, "<r@1>"},
      {"<r><stop/>after</r>", LoadFailure::kReader, "<r@1><stop@1>"},
      {"<r></s>", LoadFailure::kSyntax, "<r@1>"},
  };
  for (const PushCase& c : cases) {
    Collected collected;
    LibxmlSaxParser parser(Handler(), &collected);
    ASSERT_TRUE(parser.Created());
    const std::string text = c.text;
    // One byte at a time: nothing may depend on where the pieces break.
    for (size_t i = 0; i < text.size() && parser.Push(text.data() + i, 1, false); ++i) {
    }
    parser.Push(nullptr, 0, true);
    EXPECT_EQ(parser.Result().failure, c.failure) << c.text;
    EXPECT_EQ(collected.text, c.collected) << c.text;
  }
}

}  // namespace
}  // namespace pibgen::xml
