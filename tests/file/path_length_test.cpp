#include "file/path_length.h"

#include <gtest/gtest.h>

namespace pibgen::file {
namespace {

TEST(CountPathCharacters, CountsCodePointsNotBytes) {
  EXPECT_EQ(CountPathCharacters(""), 0u);
  EXPECT_EQ(CountPathCharacters("a/b.bin"), 7u);
  EXPECT_EQ(CountPathCharacters("\xC3\xA9t\xC3\xA9"), 3u);
  EXPECT_EQ(CountPathCharacters("\xF0\x9F\x98\x80"), 1u);
  EXPECT_EQ(CountPathCharacters("\xFF\xFE"), 2u);  // bytes that are not UTF-8 count one each
}

struct AbsoluteCase {
  const char* path;
  const char* working_directory;
  const char* expected;
};

class AbsolutePathLexicallyTest : public ::testing::TestWithParam<AbsoluteCase> {};

TEST_P(AbsolutePathLexicallyTest, Normalises) {
  const AbsoluteCase& c = GetParam();
  EXPECT_EQ(AbsolutePathLexically(c.path, c.working_directory), c.expected) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AbsolutePathLexicallyTest,
    ::testing::Values(AbsoluteCase{"image.bin", "/home/u", "/home/u/image.bin"},
                      AbsoluteCase{"/tmp/x.bin", "/home/u", "/tmp/x.bin"},
                      AbsoluteCase{"./a//b/./c", "/w", "/w/a/b/c"},
                      AbsoluteCase{"../x", "/home/u", "/home/x"},
                      AbsoluteCase{"../../../../x", "/home", "/x"}, AbsoluteCase{"a/..", "/", "/"},
                      AbsoluteCase{"", "/w", "/w"}));

}  // namespace
}  // namespace pibgen::file
