#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "format/hex_string_to_bytes.h"
#include "format/parse_decimal.h"
#include "format/write_field.h"

namespace pibgen {
namespace {

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

TEST(FieldType, OnlyTheExactTypeNamesAreRecognised) {
  struct Case {
    const char* type;
    bool sized;
    uint64_t length;  // with size 9
  };
  for (const Case& c : std::vector<Case>{{"System.UInt16", false, 2},
                                         {"System.Byte", false, 1},
                                         {"System.UInt32", false, 4},
                                         {"System.Int32", false, 4},
                                         {"System.Byte[]", true, 9},
                                         {"System.Byte[] ", true, 9},
                                         {"System.Bytes", true, 9},
                                         {"system.Byte", true, 9},
                                         {"Xystem.Byte", true, 9},
                                         {"System.", true, 9},
                                         {"System.Int3", true, 9},
                                         {"System.Int320", true, 9},
                                         {"", true, 9}}) {
    EXPECT_EQ(IsSizedType(c.type), c.sized) << "'" << c.type << "'";
    EXPECT_EQ(FieldLength({c.type, 9, ""}), c.length) << "'" << c.type << "'";
  }
}

// Against the C library on ASCII text: strtoll, then held to the 32-bit range.
TEST(ParseDecimal, AgreesWithStrtollHeldTo32Bits) {
  std::mt19937 random(31);
  const std::string alphabet = "0123456789999999+- \t\nx";
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 14, '0');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    long long expected = std::strtoll(text.c_str(), nullptr, 10);
    expected = std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, expected));
    ASSERT_EQ(ParseDecimal(text), expected) << "'" << text << "'";
  }
}

}  // namespace
}  // namespace pibgen
