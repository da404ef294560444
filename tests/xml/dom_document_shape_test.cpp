// The node table keeps some nodes in compact forms (text folded into its element, children
// that follow one another without a child list). These tests compare what the table shows
// with libxml2's own tree of the same document, over many shapes, and check that reading in
// pieces changes nothing.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <random>
#include <string>
#include <vector>

#include "xml/dom_document.h"

namespace pibgen::xml {
namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsXmlSpace(text[begin])) ++begin;
  while (end > begin && IsXmlSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool OnlySpace(const std::string& text) { return Trim(text).empty(); }

// One line per node, indented by depth: kind, name, trimmed text, and an element's line
// (elements from entity text have none in libxml2's tree).
void DumpOurs(const DomNode& node, int depth, bool lines, std::string& out) {
  out += std::string(depth, ' ') + std::to_string(static_cast<int>(node.Kind())) + " " +
         std::string(node.Name()) + " [" + node.Text() + "]";
  if (node.IsElement() && lines) out += " @" + std::to_string(node.Line());
  out += "\n";
  const DomNodeList children = node.ChildNodes();
  for (size_t i = 0; i < children.Length(); ++i) {
    DumpOurs(children.Item(i), depth + 1, lines, out);
  }
}

std::string Content(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

// An element's text and CDATA below it, leaving out the white space between elements.
std::string ElementContent(xmlNodePtr element) {
  std::string text;
  for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      text += ElementContent(child);
    } else if (child->type == XML_CDATA_SECTION_NODE ||
               (child->type == XML_TEXT_NODE && !OnlySpace(Content(child)))) {
      text += Content(child);
    }
  }
  return text;
}

// The same from libxml2's tree, where text only white space is not a node for us.
void DumpTheirs(xmlNodePtr node, int depth, bool lines, std::string& out) {
  NodeKind kind;
  std::string name;
  switch (node->type) {
    case XML_ELEMENT_NODE:
      kind = NodeKind::kElement;
      name = node->ns && node->ns->prefix
                 ? std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":"
                 : "";
      name += reinterpret_cast<const char*>(node->name);
      break;
    case XML_TEXT_NODE:
      if (OnlySpace(Content(node))) return;
      kind = NodeKind::kText;
      name = "#text";
      break;
    case XML_CDATA_SECTION_NODE:
      kind = NodeKind::kCData;
      name = "#cdata-section";
      break;
    case XML_COMMENT_NODE:
      kind = NodeKind::kComment;
      name = "#comment";
      break;
    case XML_PI_NODE:
      kind = NodeKind::kProcessingInstruction;
      name = reinterpret_cast<const char*>(node->name);
      break;
    default:
      return;
  }
  const std::string text = kind == NodeKind::kElement ? ElementContent(node) : Content(node);
  out += std::string(depth, ' ') + std::to_string(static_cast<int>(kind)) + " " + name + " [" +
         Trim(text) + "]";
  if (kind == NodeKind::kElement && lines) out += " @" + std::to_string(node->line);
  out += "\n";
  for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
    DumpTheirs(child, depth + 1, lines, out);
  }
}

bool HasEntities(const std::string& text) { return text.find("<!ENTITY") != std::string::npos; }

std::string Ours(const std::string& text) {
  auto document = DomDocument::Load(text);
  if (!document) return "(refused)";
  std::string out;
  DumpOurs(document->DocumentElement(), 0, !HasEntities(text), out);
  return out;
}

std::string Theirs(const std::string& text) {
  xmlDocPtr document =
      xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                    XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (document == nullptr) return "(refused)";
  std::string out;
  DumpTheirs(xmlDocGetRootElement(document), 0, !HasEntities(text), out);
  xmlFreeDoc(document);
  return out;
}

TEST(DomDocumentShape, AgreesWithLibxmlTreeOnHandPickedShapes) {
  for (const char* text : {
           "<r><f>abc</f></r>",                                          // folded text
           "<r><f>abc<!--c-->def</f></r>",                               // folded, then unfolded
           "<r><f>abc<g>x</g>def<h/></f></r>",                           // mixed content
           "<r><f><g>1</g><h>2</h><i/></f></r>",                         // children in a run
           "<r><f><g><x>1</x></g><h>2</h></f></r>",                      // children not in a run
           "<r><f>\n  <g>1</g>\n  <h>  2  </h>\n</f></r>",               // white space between
           "<r><f><![CDATA[a]]>b</f><g>c<![CDATA[d]]></g></r>",          // CDATA around text
           "<r><f><?p d?>x</f><g>x<?p d?></g></r>",                      // instructions around text
           "<r>top<f/>tail</r>",                                         // text as root children
           "<r>only text</r>",                                           // root folded
           "<r><f>a&amp;b&#x43;</f></r>",                                // references inside text
           "<!DOCTYPE r [<!ENTITY e '<g>in</g>'>]><r><f>x&e;y</f></r>",  // entity with element
           "<!DOCTYPE r [<!ENTITY t 'ab'>]><r><f>&t;</f><g>&t;&t;</g></r>",
           "<r xmlns:p='urn:p'><p:f>1</p:f><p:f><p:g>2</p:g></p:f></r>",
       }) {
    EXPECT_EQ(Ours(text), Theirs(text)) << text;
  }
}

// Random documents: nested elements, text, white space, comments, CDATA and references,
// pretty-printed or not. libxml2's tree joins CDATA sections that touch, so none do here.
std::string RandomElement(std::mt19937& random, int depth) {
  std::string out = "<e" + std::to_string(random() % 4) + ">";
  const int children = depth > 3 ? 0 : static_cast<int>(random() % 5);
  bool after_cdata = false;
  for (int i = 0; i < children; ++i) {
    unsigned choice = random() % 8;
    if (choice == 4 && after_cdata) choice = 3;
    after_cdata = choice == 4;
    switch (choice) {
      case 0:
      case 1:
        out += RandomElement(random, depth + 1);
        break;
      case 2:
        out += "\n" + std::string(random() % 6, ' ');
        break;
      case 3:
        out += "<!--c" + std::to_string(i) + "-->";
        break;
      case 4:
        out += "<![CDATA[d" + std::to_string(i) + "]]>";
        break;
      case 5:
        out += "&amp;";
        break;
      default:
        out += std::string(random() % 3, ' ') + "t" + std::to_string(random() % 100) +
               std::string(random() % 3, '\n');
    }
  }
  return out + "</e" + out.substr(2, 1) + ">";
}

TEST(DomDocumentShape, AgreesWithLibxmlTreeOnRandomDocuments) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 400; ++round) {
    const std::string text =
        "<root>" + RandomElement(random, 0) + RandomElement(random, 0) + "</root>";
    ASSERT_EQ(Ours(text), Theirs(text)) << text;
  }
}

// Lines of text nodes are where their text is first seen; the compact forms must not lose
// them, even far below the element's own line.
TEST(DomDocumentShape, TextLinesSurviveFoldingAndUnfolding) {
  const std::string far(300, '\n');
  auto document = DomDocument::Load("<r>\n<f>\n  x\n</f>\n<g>" + far + "y</g>\n<h>z" + far +
                                    "<!--c-->\nw</h></r>");
  ASSERT_TRUE(document);
  const DomNodeList fields = document->DocumentElement().ChildNodes();
  ASSERT_EQ(fields.Length(), 3u);
  EXPECT_EQ(fields.Item(0).ChildNodes().Item(0).Line(), 3u);
  EXPECT_EQ(fields.Item(1).Line(), 5u);
  EXPECT_EQ(fields.Item(1).ChildNodes().Item(0).Line(), 305u);  // 300 lines below its element
  const DomNodeList mixed = fields.Item(2).ChildNodes();
  ASSERT_EQ(mixed.Length(), 3u);
  EXPECT_EQ(mixed.Item(0).Line(), 306u);
  EXPECT_EQ(mixed.Item(0).Text(), "z");
  EXPECT_EQ(mixed.Item(2).Line(), 607u);
}

TEST(DomDocumentShape, LinesCountLineFeedsAnywhereInLongText) {
  // The text starts on the line of its first visible character, whatever follows in it.
  for (size_t at = 0; at < 24; ++at) {
    std::string value = "0123456789abcdefghijklmn";
    value.insert(at + 1, "\n");
    auto document = DomDocument::Load("<r>\n<f>\n\n  " + value + "\n</f></r>");
    ASSERT_TRUE(document);
    const DomNode text = document->DocumentElement().ChildNodes().Item(0).ChildNodes().Item(0);
    EXPECT_EQ(text.Line(), 4u) << "line feed after character " << at;
  }
}

TEST(DomDocumentShape, TextViewNeedsNoCopyForFoldedText) {
  auto document = DomDocument::Load("<r><f>  abc  </f><g>a<!--c-->b</g></r>");
  ASSERT_TRUE(document);
  const DomNodeList fields = document->DocumentElement().ChildNodes();
  std::string scratch = "untouched";
  EXPECT_EQ(fields.Item(0).TextView(scratch), "abc");
  EXPECT_EQ(scratch, "untouched");
  EXPECT_EQ(fields.Item(1).TextView(scratch), "ab");
}

// Reads the text in pieces of the given sizes, over and over.
DomDocument::ReadFunction PieceReader(const std::string& text, std::vector<size_t> pieces) {
  auto position = std::make_shared<size_t>(0);
  auto turn = std::make_shared<size_t>(0);
  return [text, pieces, position, turn](char* buffer, size_t capacity) -> ptrdiff_t {
    const size_t piece = std::min(pieces[(*turn)++ % pieces.size()], capacity);
    const size_t take = std::min(piece, text.size() - *position);
    text.copy(buffer, take, *position);
    *position += take;
    return static_cast<ptrdiff_t>(take);
  };
}

TEST(DomDocumentShape, ReadingInAnyPiecesGivesTheSameDocument) {
  std::mt19937 random(5);
  std::string text = "<?xml version='1.0' encoding='ISO-8859-1'?><root>";
  for (int i = 0; i < 2000; ++i) text += RandomElement(random, 0) + "\n  ";
  text += "<f>\xE9</f></root>";
  const std::string whole = Ours(text);
  ASSERT_NE(whole, "(refused)");
  for (const std::vector<size_t>& pieces :
       {std::vector<size_t>{1}, {3, 1, 7}, {4096}, {100000}, {1 << 20}}) {
    auto document = DomDocument::Load(PieceReader(text, pieces));
    ASSERT_TRUE(document);
    std::string out;
    DumpOurs(document->DocumentElement(), 0, true, out);
    EXPECT_EQ(out, whole) << "first piece " << pieces[0];
  }
}

TEST(DomDocumentShape, AFailedReadFailsTheLoad) {
  const std::string text = "<r><f>1</f></r>";
  // A failure after the whole document was read counts too: the end was never confirmed.
  for (size_t fail_after : {size_t{0}, size_t{5}, text.size()}) {
    size_t position = 0;
    auto document = DomDocument::Load([&](char* buffer, size_t capacity) -> ptrdiff_t {
      if (position >= fail_after) return -1;
      const size_t take = std::min({capacity, fail_after - position, text.size() - position});
      text.copy(buffer, take, position);
      position += take;
      return static_cast<ptrdiff_t>(take);
    });
    EXPECT_FALSE(document) << "failing after " << fail_after << " bytes";
  }
  // A reader claiming more than it was given room for is not believed.
  EXPECT_FALSE(DomDocument::Load(
      [](char*, size_t capacity) -> ptrdiff_t { return static_cast<ptrdiff_t>(capacity) + 1; }));
}

TEST(DomDocumentShape, WhiteSpaceExpansionIsBoundedToo) {
  std::string blanks = "<!DOCTYPE r [<!ENTITY s '" + std::string(100000, ' ') + "'>]><r><f>";
  for (int i = 0; i < 5000; ++i) blanks += "&s;";
  blanks += "</f></r>";
  EXPECT_FALSE(DomDocument::Load(blanks));
}

}  // namespace
}  // namespace pibgen::xml
