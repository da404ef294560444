#include "cli/json_text.h"

#include <gtest/gtest.h>

namespace pibgen {
namespace {

TEST(JsonText, EscapesWhatWouldBreakTheDocument) {
  struct Case {
    std::string text;
    const char* json;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"a \"quoted\" \\ path", R"("a \"quoted\" \\ path")"},
      {"tab\tline\ncr\r", R"("tab\tline\ncr\r")"},
      {std::string("nul\0bell\x07\x1f", 10), R"("nul\u0000bell\u0007\u001f")"},
      // Valid UTF-8 stays as it is; each byte that is not becomes U+FFFD.
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
      {"bad\xff\xfe end", "\"bad\xef\xbf\xbd\xef\xbf\xbd end\""},
      {"cut \xe2\x82", "\"cut \xef\xbf\xbd\""},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(JsonText, MembersAreSeparatedOnlyBetweenThemselves) {
  std::string object = "{";
  AppendText(object, "a", "x");
  AppendNumber(object, "b", 18446744073709551615u);
  AppendBool(object, "c", false);
  AppendNull(object, "d");
  object += '}';
  EXPECT_EQ(object, R"({"a":"x","b":18446744073709551615,"c":false,"d":null})");
}

}  // namespace
}  // namespace pibgen
