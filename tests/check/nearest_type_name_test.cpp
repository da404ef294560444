#include "check/nearest_type_name.h"

#include <gtest/gtest.h>

#include "format/field_types.h"

namespace pibgen {
namespace {

TEST(NearestTypeName, SuggestsTheKnownNameMeant) {
  const std::pair<const char*, const char*> cases[] = {
      {"system.byte", "System.Byte"},
      {"SYSTEM.BYTE[]", "System.Byte[]"},
      {"System.UInt8", "System.UInt16"},  // two edits from UInt16 and UInt32: the first listed
      {"System.Uint32", "System.UInt32"},
      {"System.Int16", "System.UInt16"},
      {"System.Bytes", "System.Byte"},
      {"System.Byte[", "System.Byte"},  // as near to both; the first listed wins
      {"Sytem.Int32", "System.Int32"},
      {"System.Int64", "System.Int32"},
      {"Systen.UInt32 ", "System.UInt32"},
      {"ystem.Byt", "System.Byte"},
  };
  for (const auto& [type, meant] : cases) EXPECT_EQ(NearestTypeName(type), meant) << type;
}

TEST(NearestTypeName, LeavesKnownAndUnrelatedNamesAlone) {
  for (const char* type :
       {"System.UInt16", "System.Byte", "System.UInt32", "System.Int32", "System.Byte[]", "", "pad",
        "reserved", "System.String", "Byte", "System.Char", "Sys.Byte", "System.UInt16.Extra"}) {
    EXPECT_FALSE(NearestTypeName(type)) << type;
  }
}

}  // namespace
}  // namespace pibgen
