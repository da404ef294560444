#include "format/hex.h"

#include <gtest/gtest.h>
#include <random>

#include <string>
#include <vector>

namespace pibgen {
namespace {

struct HexCase {
  std::u16string text;
  size_t count;
  std::vector<uint8_t> expected;
};

class HexStringToBytesTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexStringToBytesTest, DecodesTwoCharactersAByteWithoutValidation) {
  const HexCase& c = GetParam();
  std::vector<uint8_t> buffer(c.count, 0);
  HexStringToBytes(std::u16string_view(c.text), buffer.data(), buffer.size());
  EXPECT_EQ(buffer, c.expected);

  // Text made only of ASCII decodes the same through the byte overload.
  std::string ascii;
  bool is_ascii = true;
  for (char16_t unit : c.text) {
    is_ascii = is_ascii && unit < 0x80;
    ascii.push_back(static_cast<char>(unit));
  }
  if (is_ascii) {
    std::vector<uint8_t> narrow(c.count, 0);
    HexStringToBytes(std::string_view(ascii), narrow.data(), narrow.size());
    EXPECT_EQ(narrow, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexStringToBytesTest,
    ::testing::Values(
        HexCase{u"0a1B", 2, {0x0A, 0x1B}}, HexCase{u"ffFF", 2, {0xFF, 0xFF}},
        HexCase{u"616263", 3, {0x61, 0x62, 0x63}},
        // characters outside 0-9A-F go through the same arithmetic
        HexCase{u"GG", 1, {0x10}}, HexCase{u"AG", 1, {0xB0}}, HexCase{u"1 ", 1, {0xF0}},
        HexCase{u"zz", 1, {0x33}}, HexCase{u"--", 1, {0xFD}},
        // the position past the end reads as U+0000; bytes further on keep the zero fill
        HexCase{u"A1B", 2, {0xA1, 0xF0}}, HexCase{u"A", 1, {0xF0}},
        HexCase{u"A1", 4, {0xA1, 0x00, 0x00, 0x00}}, HexCase{u"", 3, {0x00, 0x00, 0x00}},
        // characters past 2 * count are ignored
        HexCase{u"A1b2c3", 2, {0xA1, 0xB2}}, HexCase{u"A1", 0, {}},
        // beyond ASCII only the low 8 bits count: U+0141 reads as 'A', U+0105 as 0x05
        HexCase{u"\u0141\u0141", 1, {0xAA}}, HexCase{u"0\u0105", 1, {0xD5}}));

TEST(HexStringToBytes, LeavesBytesPastTheTextAlone) {
  std::vector<uint8_t> buffer = {0x11, 0x22, 0x33};
  HexStringToBytes(std::u16string_view(u"AB"), buffer.data(), buffer.size());
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0xAB, 0x22, 0x33}));
}

// The one-byte-a-character decoder takes a shortcut; on ASCII text it must give exactly what
// the character-by-character decoder gives, for any text and any count.
TEST(HexStringToBytes, AsciiShortcutAgreesWithTheGeneralDecoder) {
  std::mt19937 random(1208);
  const std::string alphabet = "0123456789abcdefABCDEFgGzZ :\t\x01\x7F";
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 40, '0');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const std::u16string wide(text.begin(), text.end());
    const size_t count = random() % 25;
    std::vector<uint8_t> shortcut(count, 0x5A);
    std::vector<uint8_t> general(count, 0x5A);
    HexStringToBytes(std::string_view(text), shortcut.data(), count);
    HexStringToBytes(std::u16string_view(wide), general.data(), count);
    ASSERT_EQ(shortcut, general) << "'" << text << "' count " << count;
  }
}

}  // namespace
}  // namespace pibgen
