#include "engine/held_text.h"

#include <gtest/gtest.h>

#include <string>

#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// What goes in, lines and text, comes out whole and in order, whether it fits in memory or
// spills, of any length; nothing comes out before Publish.
TEST(HeldText, PublishesEverythingInOrder) {
  const std::string long_text(HeldText::kMemoryBudget * 3 + 5, 'x');
  for (const size_t lines : {size_t{3}, size_t{20000}}) {
    file::MemoryFileSystem files;
    HeldText trace(files.CreateScratchFile());
    std::string expected;
    for (size_t i = 0; i < lines; ++i) {
      const std::string value = std::to_string(i * 7919);
      if (i % 3 == 0) {
        trace.Print(value);  // text of its own, not a line
        expected += value;
      } else {
        trace.Line("value", value);
        expected += "value--" + value + "\n";
      }
      if (i == lines / 2) {
        trace.Line("#text", long_text);
        trace.Print(long_text);
        expected += "#text--" + long_text + "\n" + long_text;
      }
    }
    testing::TextCapture out;
    EXPECT_FALSE(trace.Failed());
    ASSERT_TRUE(trace.Publish(out));
    EXPECT_TRUE(out.Text() == expected) << lines;
  }
}

// Without a scratch file only what fits in memory can be held; beyond it the trace fails.
TEST(HeldText, FailsWhenItCannotSpill) {
  HeldText trace(nullptr);
  trace.Line("type", "System.Byte");
  EXPECT_FALSE(trace.Failed());
  trace.Line("value", std::string(HeldText::kMemoryBudget, 'x'));
  EXPECT_TRUE(trace.Failed());
  testing::TextCapture out;
  EXPECT_FALSE(trace.Publish(out));
  EXPECT_EQ(out.Text(), "");
}

}  // namespace
}  // namespace pibgen
