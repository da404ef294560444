#include "format/field_types.h"

#include <gtest/gtest.h>

#include <vector>

namespace pibgen {
namespace {

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
                                         {"System.Byte[]X", true, 9},
                                         {"UInt16", true, 9},
                                         {"System.", true, 9},
                                         {"System.Int3", true, 9},
                                         {"System.Int320", true, 9},
                                         {"", true, 9}}) {
    EXPECT_EQ(IsSized(KindOf(c.type)), c.sized) << "'" << c.type << "'";
    EXPECT_EQ(FieldLength({c.type, 9, ""}), c.length) << "'" << c.type << "'";
  }
}

}  // namespace
}  // namespace pibgen
