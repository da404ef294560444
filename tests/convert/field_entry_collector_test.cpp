#include "convert/field_entry_collector.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "text_capture.h"

namespace pibgen {
namespace {

using Children = std::vector<std::pair<std::string, std::string>>;

// One collector over all fields in turn must give what a fresh collector gives each: nothing
// of one field may linger into the next.
TEST(FieldEntryCollector, EachFieldStartsFromNothing) {
  const std::vector<Children> fields = {
      {{"type", "System.Byte[]"}, {"size", "3"}, {"value", "616263"}},
      {},
      {{"type", "System.UInt16"}, {"#comment", "c"}, {"value", "12"}, {"note", "n"}},
      {{"size", "-4"}, {"type", "x"}, {"type", "System.Byte"}, {"Value", "1"}},
      {{"value", "abcd"}, {"size", "2"}}};
  const std::vector<FieldEntry> expected = {{"System.Byte[]", 3, "616263"},
                                            {"", 0, ""},
                                            {"System.UInt16", 0, "12"},
                                            {"System.Byte", -4, ""},
                                            {"", 2, "abcd"}};
  FieldEntryCollector reused;
  testing::TextCapture reused_trace;
  testing::TextCapture fresh_trace;
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldEntryCollector fresh;
    reused.Begin();
    fresh.Begin();
    for (const auto& [name, text] : fields[i]) {
      reused.Add(name, text, &reused_trace);
      fresh.Add(name, text, &fresh_trace);
    }
    for (const FieldEntryCollector* collector : {&reused, &fresh}) {
      EXPECT_EQ(collector->Entry().type, expected[i].type) << "field " << i;
      EXPECT_EQ(collector->Entry().size, expected[i].size) << "field " << i;
      EXPECT_EQ(collector->Entry().value, expected[i].value) << "field " << i;
    }
  }
  EXPECT_EQ(reused_trace.Text(), fresh_trace.Text());
  EXPECT_EQ(reused_trace.Text(),
            "type--System.Byte[]\nsize--3\nvalue--616263\n"
            "type--System.UInt16\n#comment--c\nvalue--12\nnote--n\n"
            "size---4\ntype--x\ntype--System.Byte\nValue--1\n"
            "value--abcd\nsize--2\n");
}

TEST(FieldEntryCollector, TracesLongTextsWhole) {
  const std::string value(100000, 'A');
  FieldEntryCollector collector;
  testing::TextCapture trace;
  collector.Begin();
  collector.Add("value", value, &trace);
  EXPECT_EQ(collector.Entry().value, value);
  EXPECT_EQ(trace.Text(), "value--" + value + "\n");
}

}  // namespace
}  // namespace pibgen
