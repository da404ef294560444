#include "xml/dom_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pibgen::xml {
namespace {

std::unique_ptr<DomDocument> Load(const std::string& text) { return DomDocument::Load(text); }

// "name=text" for each child of the node, in order.
std::vector<std::string> Children(const DomNode& node) {
  std::vector<std::string> out;
  const DomNodeList list = node.ChildNodes();
  for (size_t i = 0; i < list.Length(); ++i) {
    out.push_back(std::string(list.Item(i).Name()) + "=" + list.Item(i).Text());
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(DomDocument, NamesNodesTheDomWay) {
  auto document = Load(
      "<r xmlns:p='urn:x'><f><p:type>a</p:type>text<![CDATA[ <c> ]]><!-- note -->"
      "<?target data?></f></r>");
  ASSERT_TRUE(document);
  const DomNode root = document->DocumentElement();
  EXPECT_EQ(root.Name(), "r");
  EXPECT_EQ(Children(root), Strings{"f=atext <c>"});  // inner white space stays
  EXPECT_EQ(
      Children(root.ChildNodes().Item(0)),
      (Strings{"p:type=a", "#text=text", "#cdata-section=<c>", "#comment=note", "target=data"}));
}

TEST(DomDocument, WhiteSpaceBetweenElementsFormsNoNode) {
  auto document = Load("<r>\n  <f>\n    <type> System.Byte </type>\n  </f>\n  <g/> \n</r>");
  ASSERT_TRUE(document);
  const DomNode root = document->DocumentElement();
  EXPECT_EQ(Children(root), (Strings{"f=System.Byte", "g="}));
  EXPECT_EQ(Children(root.ChildNodes().Item(0)), Strings{"type=System.Byte"});
}

TEST(DomDocument, TextTrimsOnlyXmlSpaceAtTheEnds) {
  auto document =
      Load("<r><f><a>\t\r\n x  y \n</a><b>\xC2\xA0z\xC2\xA0</b><c>1<i>2</i><!--no-->3</c></f></r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(Children(document->DocumentElement().ChildNodes().Item(0)),
            (Strings{"a=x  y", "b=\xC2\xA0z\xC2\xA0", "c=123"}));
}

TEST(DomDocument, EntitiesAndReferencesAreReplaced) {
  auto document =
      Load("<!DOCTYPE r [<!ENTITY v '0A0B'>]><r><f><value>&v;&#x43;&lt;&amp;</value></f></r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(Children(document->DocumentElement().ChildNodes().Item(0)), Strings{"value=0A0BC<&"});
}

TEST(DomDocument, LinesCountFromOne) {
  auto document = Load("<r>\n<f/>\n\n<!-- c -->\n<g>\n\n  text\n</g></r>");
  ASSERT_TRUE(document);
  const DomNodeList fields = document->DocumentElement().ChildNodes();
  ASSERT_EQ(fields.Length(), 3u);
  EXPECT_EQ(fields.Item(0).Line(), 2u);
  EXPECT_EQ(fields.Item(1).Line(), 4u);
  EXPECT_EQ(fields.Item(2).ChildNodes().Item(0).Line(), 7u);  // where the text becomes visible
}

TEST(DomDocument, ReadsTheDeclaredEncoding) {
  auto latin1 = Load(std::string("<?xml version='1.0' encoding='ISO-8859-1'?><r><f>\xE9</f></r>"));
  ASSERT_TRUE(latin1);
  EXPECT_EQ(Children(latin1->DocumentElement()), Strings{"f=\xC3\xA9"});

  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("<r><f>A</f></r>")) {
    utf16 += c;
    utf16 += '\0';
  }
  auto wide = Load(utf16);
  ASSERT_TRUE(wide);
  EXPECT_EQ(Children(wide->DocumentElement()), Strings{"f=A"});

  auto bom = Load("\xEF\xBB\xBF<r><f>B</f></r>");
  ASSERT_TRUE(bom);
  EXPECT_EQ(Children(bom->DocumentElement()), Strings{"f=B"});
}

TEST(DomDocument, AttributesByQualifiedName) {
  auto document = Load(
      "<!DOCTYPE r [<!ENTITY e 'ent'><!ATTLIST g kind CDATA 'fixed'>]>"
      "<r xmlns:p='urn:x' id='root'><f name='a&amp;b &e;' p:name=\"q\" other=''/>"
      "<g/><h name='&#x41;\n\tB'/></r>");
  ASSERT_TRUE(document);
  const DomNode root = document->DocumentElement();
  EXPECT_EQ(root.Attribute("id"), "root");
  EXPECT_FALSE(root.Attribute("xmlns:p"));  // a namespace declaration is not an attribute
  const DomNodeList fields = root.ChildNodes();
  ASSERT_EQ(fields.Length(), 3u);
  EXPECT_EQ(fields.Item(0).Attribute("name"), "a&b ent");
  EXPECT_EQ(fields.Item(0).Attribute("p:name"), "q");
  EXPECT_EQ(fields.Item(0).Attribute("other"), "");      // present but empty
  EXPECT_FALSE(fields.Item(0).Attribute("Name"));        // names are case-sensitive
  EXPECT_FALSE(fields.Item(0).Attribute("id"));          // not the root's
  EXPECT_EQ(fields.Item(1).Attribute("kind"), "fixed");  // defaulted by the DTD
  EXPECT_FALSE(fields.Item(1).Attribute("name"));
  EXPECT_EQ(fields.Item(2).Attribute("name"), "A  B");  // white space normalised to blanks
}

TEST(DomDocument, AttributesOfManyElementsStayWithTheirElement) {
  std::string text = "<r>";
  for (int i = 0; i < 300; ++i) {
    text += i % 3 == 0 ? "<f/>" : "<f a='x' name='n" + std::to_string(i) + "'><c name='c'/></f>";
  }
  text += "</r>";
  auto document = Load(text);
  ASSERT_TRUE(document);
  const DomNodeList fields = document->DocumentElement().ChildNodes();
  ASSERT_EQ(fields.Length(), 300u);
  for (size_t i = 0; i < fields.Length(); ++i) {
    const auto name = fields.Item(i).Attribute("name");
    if (i % 3 == 0) {
      EXPECT_FALSE(name) << i;
    } else {
      EXPECT_EQ(name, std::string("n").append(std::to_string(i))) << i;
      EXPECT_EQ(fields.Item(i).ChildNodes().Item(0).Attribute("name"), "c") << i;
    }
  }
}

TEST(DomDocument, ReportsWhyAndWhereALoadFailed) {
  struct Case {
    std::string text;
    LoadFailure failure;
    uint32_t line;
    const char* entity;
  };
  std::string nested = "<r>\n";
  for (int i = 0; i < 300; ++i) nested += "<e>";
  std::string laughs = "<!DOCTYPE r [<!ENTITY a0 'lol'>";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY a" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) laughs += "&a" + std::to_string(i - 1) + ";";
    laughs += "'>";
  }
  laughs += "]>\n<r><f>&a9;</f></r>";
  const Case cases[] = {
      {"<r>\n<f>\n</g>\n</r>", LoadFailure::kSyntax, 3, ""},
      {"<r>\n\n<f a='1' a='2'/></r>", LoadFailure::kSyntax, 3, ""},
      {"", LoadFailure::kSyntax, 1, ""},
      {"<r>\n<f/>\n", LoadFailure::kSyntax, 3, ""},
      {"<r>\n<f>&undefined;</f>\n</r>", LoadFailure::kUndeclaredEntity, 2, "&undefined;"},
      // Declared, if at all, only in the external subset, which is never read.
      {"<!DOCTYPE r SYSTEM 'types.dtd'>\n<r>\n<f>&blob;</f></r>", LoadFailure::kUndeclaredEntity, 3,
       "&blob;"},
      {"<!DOCTYPE r SYSTEM 'types.dtd' [<!ENTITY a '&b;'>]>\n<r>\n<f>&a;</f></r>",
       LoadFailure::kUndeclaredEntity, 3, "&b;"},
      {"<!DOCTYPE r SYSTEM 'types.dtd'>\n<r>\n<f v='&blob;'/></r>", LoadFailure::kUndeclaredEntity,
       3, "&blob;"},
      {"<!DOCTYPE r [\n%p;]><r/>", LoadFailure::kUndeclaredEntity, 2, "%p;"},
      {"<!DOCTYPE r [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>\n<r><f>&e;</f></r>",
       LoadFailure::kExternalEntity, 2, "&e;"},
      {"<!DOCTYPE r [<!ENTITY % p SYSTEM '/etc/hostname'>\n%p;]><r/>", LoadFailure::kExternalEntity,
       2, "%p;"},
      {nested, LoadFailure::kNestingDepth, 2, ""},
      {laughs, LoadFailure::kEntityExpansion, 2, ""},
  };
  for (const Case& c : cases) {
    LoadError error{LoadFailure::kNone, 99, "x"};
    EXPECT_FALSE(DomDocument::Load(c.text, &error)) << c.text;
    EXPECT_EQ(error.failure, c.failure) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_EQ(error.entity, c.entity) << c.text;
  }
}

TEST(DomDocument, RefusesWhatIsNotAWellFormedDocument) {
  for (const char* text : {"", "   ", "<r>", "<r></s>", "<r/><r/>", "text", "<r>\xFF</r>",
                           "<?xml version='1.0'?>", "<r>&undefined;</r>"}) {
    EXPECT_FALSE(Load(text)) << text;
  }
  EXPECT_FALSE(Load(std::string("<r>\0</r>", 8)));
}

TEST(DomDocument, NeverReadsOutsideTheGivenBytes) {
  // Each would pull /etc/hostname in if external loading were allowed.
  for (const char* text :
       {"<!DOCTYPE r [<!ENTITY e SYSTEM 'file:///etc/hostname'>]><r><f>&e;</f></r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM '/etc/hostname'> %p;]><r/>",
        "<!DOCTYPE r [<!ENTITY e SYSTEM 'http://127.0.0.1:9/x'>]><r><f>&e;</f></r>"}) {
    EXPECT_FALSE(Load(text)) << text;
  }
  // An external DTD that is never needed is simply not read.
  auto document = Load("<!DOCTYPE r SYSTEM '/etc/hostname'><r><f>1</f></r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(Children(document->DocumentElement()), Strings{"f=1"});
}

TEST(DomDocument, ExpansionBombsFailInsteadOfGrowing) {
  std::string laughs = "<!DOCTYPE r [<!ENTITY a0 'lol'>";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY a" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) laughs += "&a" + std::to_string(i - 1) + ";";
    laughs += "'>";
  }
  laughs += "]><r><f>&a9;</f></r>";
  EXPECT_FALSE(Load(laughs));

  std::string quadratic = "<!DOCTYPE r [<!ENTITY big '" + std::string(100000, 'x') + "'>]><r><f>";
  for (int i = 0; i < 5000; ++i) quadratic += "&big;";
  quadratic += "</f></r>";
  EXPECT_FALSE(Load(quadratic));

  // The same through attribute values, a few elements at a time.
  std::string in_attributes = "<!DOCTYPE r [<!ENTITY big '" + std::string(100000, 'x') + "'>]><r>";
  for (int i = 0; i < 500; ++i) {
    in_attributes += "<f name='";
    for (int k = 0; k < 10; ++k) in_attributes += "&big;";
    in_attributes += "'/>";
  }
  in_attributes += "</r>";
  EXPECT_FALSE(Load(in_attributes));
}

// One text run with no line break, longer than the expansion allowance: all of it is in the
// input, so it must load, and a smaller entity expansion that ends in the same size must not.
TEST(DomDocument, LongTextRunsLoadWhereExpansionOfTheSameSizeFails) {
  const std::string run(20u << 20, 'a');
  const auto document = Load("<r><f>" + run + "</f></r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->DocumentElement().ChildNodes().Item(0).Text().size(), run.size());

  std::string expanded = "<!DOCTYPE r [<!ENTITY big '" + std::string(1u << 20, 'a') + "'>]><r><f>";
  for (int i = 0; i < 20; ++i) expanded += "&big;";
  expanded += "</f></r>";
  EXPECT_FALSE(Load(expanded));
}

TEST(DomDocument, DeepNestingFailsCleanly) {
  std::string deep = "<r>";
  for (int i = 0; i < 10000; ++i) deep += "<a>";
  for (int i = 0; i < 10000; ++i) deep += "</a>";
  deep += "</r>";
  EXPECT_FALSE(Load(deep));
}

}  // namespace
}  // namespace pibgen::xml
