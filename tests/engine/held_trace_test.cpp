#include "engine/held_trace.h"

#include <gtest/gtest.h>

#include <string>

#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

// What goes in comes out whole and in order, whether it fits in memory or spills, in lines of any
// length; nothing comes out before Publish.
TEST(HeldTrace, PublishesEverythingInOrder) {
  const std::string long_text(HeldTrace::kMemoryBudget * 3 + 5, 'x');
  for (const size_t lines : {size_t{3}, size_t{20000}}) {
    file::MemoryFileSystem files;
    HeldTrace trace(files.CreateScratchFile());
    std::string expected;
    for (size_t i = 0; i < lines; ++i) {
      const std::string value = std::to_string(i * 7919);
      trace.Line("value", value);
      expected += "value--" + value + "\n";
      if (i == lines / 2) {
        trace.Line("#text", long_text);
        expected += "#text--" + long_text + "\n";
      }
    }
    testing::TextCapture out;
    EXPECT_FALSE(trace.Failed());
    ASSERT_TRUE(trace.Publish(out));
    EXPECT_TRUE(out.Text() == expected) << lines;
  }
}

// Without a scratch file only what fits in memory can be held; beyond it the trace fails.
TEST(HeldTrace, FailsWhenItCannotSpill) {
  HeldTrace trace(nullptr);
  trace.Line("type", "System.Byte");
  EXPECT_FALSE(trace.Failed());
  trace.Line("value", std::string(HeldTrace::kMemoryBudget, 'x'));
  EXPECT_TRUE(trace.Failed());
  testing::TextCapture out;
  EXPECT_FALSE(trace.Publish(out));
  EXPECT_EQ(out.Text(), "");
}

}  // namespace
}  // namespace pibgen
