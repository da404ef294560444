#include "conversion/image/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace pibgen {
namespace {

uint32_t Crc32Of(const std::vector<uint8_t>& data) {
  Crc32 crc;
  crc.Update(data.data(), data.size());
  return crc.Value();
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(Crc32Of({}), 0u);
  EXPECT_EQ(Crc32Of({'a', 'b', 'c'}), 0x352441C2u);
  EXPECT_EQ(Crc32Of({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xCBF43926u);
}

TEST(Crc32, AgreesWithZlibOnRandomDataFedInPieces) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(random() % 5000);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    Crc32 crc;
    size_t done = 0;
    while (done < data.size()) {
      const size_t piece = std::min<size_t>(data.size() - done, random() % 700);
      crc.Update(data.data() + done, piece);
      done += piece;
    }
    const uLong expected = crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size()));
    ASSERT_EQ(crc.Value(), static_cast<uint32_t>(expected)) << "round " << round;
  }
}

}  // namespace
}  // namespace pibgen
