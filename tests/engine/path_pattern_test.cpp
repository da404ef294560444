#include "engine/path_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pibgen {
namespace {

TEST(PathPattern, FormsEachRowsPathOrSaysWhyNot) {
  const std::vector<std::string> header = {"serial", "mac"};
  const std::vector<std::string> cells = {"SN7", "00AA"};
  const struct {
    std::string pattern;
    std::string path;  // empty: refused with code
    Code code;
  } kCases[] = {
      {"out/{serial}.bin", "out/SN7.bin", Code::kUnreadable},
      {"{row}-{mac}-{serial}", "3-00AA-SN7", Code::kUnreadable},
      {"{{x}}{serial}", "{x}SN7", Code::kUnreadable},
      {"a{", "", Code::kPatternBrace},
      {"a}b", "", Code::kPatternBrace},
      {"{}", "", Code::kPatternBrace},
      {"{ser{ial}", "", Code::kPatternBrace},
      {"{nosuch}.bin", "", Code::kPatternUnknown},
  };
  for (const auto& c : kCases) {
    PathPattern pattern;
    Finding problem;
    const bool good = pattern.Parse(c.pattern, &problem) && pattern.Bind(header, &problem);
    std::string path;
    if (good) pattern.Form(3, cells, path);
    EXPECT_EQ(path, c.path) << c.pattern;
    if (!good) {
      EXPECT_EQ(problem.code, c.code) << c.pattern;
    }
  }
}

TEST(PathPattern, TakesSafeCellsOnly) {
  for (const char* cell : {"SN-1", "a.b_c", "..x", "Z9"}) EXPECT_TRUE(IsSafePathCell(cell)) << cell;
  for (const char* cell : {"", ".", "..", "a/b", "a\\b", "a b", "c:", "\xC3\xA9"}) {
    EXPECT_FALSE(IsSafePathCell(cell)) << cell;
  }
}

}  // namespace
}  // namespace pibgen
