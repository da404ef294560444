#include <gtest/gtest.h>

#include <string>

#include "conversion/collect_field_entry.h"
#include "text_capture.h"
#include "xml/dom_document.h"

namespace pibgen {
namespace {

// One collector over all fields in turn must give what a fresh collection of each gives:
// nothing of one field may linger into the next.
TEST(FieldEntryCollector, EachFieldStartsFromNothing) {
  auto document = xml::DomDocument::Load(
      "<pib><f><type>System.Byte[]</type><size>3</size><value>616263</value></f>"
      "<f/>"
      "<f><type>Sys<!-- split -->tem.UInt16</type><value>  1<?pi x?>2 </value><note>n</note></f>"
      "<f><size>-4</size><type>x</type><type>System.Byte</type></f>"
      "<f><value>ab<![CDATA[cd]]></value><size>2</size></f></pib>");
  ASSERT_TRUE(document);
  const xml::DomNodeList fields = document->DocumentElement().ChildNodes();
  FieldEntryCollector collector;
  testing::TextCapture reused_trace;
  testing::TextCapture fresh_trace;
  const std::vector<FieldEntry> expected = {{"System.Byte[]", 3, "616263"},
                                            {"", 0, ""},
                                            {"System.UInt16", 0, "12"},
                                            {"System.Byte", -4, ""},
                                            {"", 2, "abcd"}};
  ASSERT_EQ(fields.Length(), expected.size());
  for (size_t i = 0; i < fields.Length(); ++i) {
    const FieldEntry& reused = collector.Collect(fields.Item(i), &reused_trace);
    const FieldEntry fresh = CollectFieldEntry(fields.Item(i), &fresh_trace);
    EXPECT_EQ(reused.type, expected[i].type) << "field " << i;
    EXPECT_EQ(reused.size, expected[i].size) << "field " << i;
    EXPECT_EQ(reused.value, expected[i].value) << "field " << i;
    EXPECT_EQ(fresh.type, reused.type);
    EXPECT_EQ(fresh.size, reused.size);
    EXPECT_EQ(fresh.value, reused.value);
  }
  EXPECT_EQ(reused_trace.Text(), fresh_trace.Text());
  EXPECT_EQ(reused_trace.Text(),
            "type--System.Byte[]\nsize--3\nvalue--616263\n"
            "type--System.UInt16\nvalue--12\nnote--n\n"
            "size---4\ntype--x\ntype--System.Byte\n"
            "value--abcd\nsize--2\n");
}

TEST(FieldEntryCollector, TracesLongTextsWhole) {
  const std::string value(100000, 'A');
  auto document = xml::DomDocument::Load("<pib><f><value>" + value + "</value></f></pib>");
  ASSERT_TRUE(document);
  FieldEntryCollector collector;
  testing::TextCapture trace;
  EXPECT_EQ(collector.Collect(document->DocumentElement().ChildNodes().Item(0), &trace).value,
            value);
  EXPECT_EQ(trace.Text(), "value--" + value + "\n");
}

}  // namespace
}  // namespace pibgen
