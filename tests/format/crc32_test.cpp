#include "format/crc32.h"

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

// Zero runs of every size class: the byte loop below 64, single and combined operator powers
// above, after an empty start and after real data.
TEST(Crc32, UpdateZerosMatchesFeedingZeroBytes) {
  const uint64_t counts[] = {
      0, 1, 2, 3, 63, 64, 65, 255, 4096, 65537, 1000003, (1u << 20), (1u << 20) + 7};
  const std::vector<uint8_t> prefixes[] = {{}, {'a', 'b', 'c'}, {0xFF, 0x00, 0x7E, 0x81}};
  for (const auto& prefix : prefixes) {
    for (uint64_t count : counts) {
      Crc32 fast;
      fast.Update(prefix.data(), prefix.size());
      fast.UpdateZeros(count);
      Crc32 slow;
      slow.Update(prefix.data(), prefix.size());
      const std::vector<uint8_t> zeros(static_cast<size_t>(count), 0);
      slow.Update(zeros.data(), zeros.size());
      EXPECT_EQ(fast.Value(), slow.Value()) << "count " << count << ", prefix " << prefix.size();
    }
  }
}

TEST(Crc32, UpdateZerosAgreesWithZlibOnLongRuns) {
  const std::vector<uint8_t> zeros(size_t{1} << 20, 0);
  const uint64_t counts[] = {(uint64_t{1} << 26) + 5, (uint64_t{3} << 24) - 1};
  for (uint64_t count : counts) {
    uLong expected = crc32(0L, Z_NULL, 0);
    for (uint64_t left = count; left > 0;) {
      const auto take = static_cast<uInt>(std::min<uint64_t>(left, zeros.size()));
      expected = crc32(expected, zeros.data(), take);
      left -= take;
    }
    Crc32 crc;
    crc.UpdateZeros(count);
    EXPECT_EQ(crc.Value(), static_cast<uint32_t>(expected)) << "count " << count;
  }
}

TEST(Crc32, UpdateZerosThenDataMatchesZlib) {
  std::vector<uint8_t> data(70000, 0);
  data.insert(data.end(), {'x', 'y', 'z'});
  Crc32 crc;
  crc.UpdateZeros(70000);
  crc.Update(data.data() + 70000, 3);
  EXPECT_EQ(crc.Value(), static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), data.data(),
                                                     static_cast<uInt>(data.size()))));
}

// A few bytes changed anywhere in a message: its new CRC from the old one and the change alone,
// as zlib computes it over the whole changed message.
TEST(Crc32, ChangeShiftedToItsPlaceGivesTheChangedMessagesCrc) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> data(1 + random() % 3000);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    const size_t at = random() % data.size();
    const size_t count = std::min<size_t>(data.size() - at, 1 + random() % 9);
    std::vector<uint8_t> change(count);
    for (size_t i = 0; i < count; ++i) {
      change[i] = static_cast<uint8_t>(random());
      data[at + i] ^= change[i];
    }
    const uint32_t old_crc = Crc32Of(data);
    for (size_t i = 0; i < count; ++i) data[at + i] ^= change[i];
    const uint32_t shifted =
        Crc32Shift(data.size() - at - count).Apply(Crc32OfChange(change.data(), count));
    ASSERT_EQ(old_crc ^ shifted, Crc32Of(data)) << "round " << round;
  }
}

}  // namespace
}  // namespace pibgen
