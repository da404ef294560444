#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "conversion/image/hex_string_to_bytes.h"
#include "conversion/image/write_field.h"

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

}  // namespace
}  // namespace pibgen
