#include "format/quote_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pibgen {
namespace {

TEST(QuoteText, KeepsMessagesOnOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "\"\""},
      {"abc", "\"abc\""},
      {"a\nb\tc\\d", "\"a\\nb\\tc\\\\d\""},
      {std::string("\x01\x1F\x7F", 3), "\"\\x01\\x1F\\x7F\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
      {std::string(40, 'x'), "\"" + std::string(40, 'x') + "\""},
      {std::string(41, 'x'), "\"" + std::string(40, 'x') + "...\""},
      // A two-byte character across the cut is left out whole.
      {std::string(39, 'x').append("\xC3\xA9yz"), "\"" + std::string(39, 'x') + "...\""},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(QuoteText(text), quoted) << text;
}

}  // namespace
}  // namespace pibgen
