#include "xml/growing_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pibgen::xml {
namespace {

// Far past the point where the array moves from malloc to huge-page blocks, through several
// moves of those blocks: nothing written may be lost or changed on the way.
TEST(GrowingArray, KeepsEveryRecordThroughEachGrowth) {
  GrowingArray<uint32_t> numbers;
  constexpr uint32_t kCount = 3'000'000;  // 12 MB: malloc block, then three large blocks
  for (uint32_t i = 0; i < kCount; ++i) ASSERT_TRUE(numbers.push_back(i * 2654435761u));
  ASSERT_EQ(numbers.size(), kCount);
  for (uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(numbers[i], i * 2654435761u) << i;
}

TEST(GrowingArray, AppendsSpansAndTruncates) {
  GrowingArray<char> chars;
  std::vector<char> expected;
  // Spans of growing length, some larger than what the array holds so far.
  for (size_t length = 1; length < (size_t{3} << 20); length *= 3) {
    std::vector<char> span(length);
    for (size_t i = 0; i < length; ++i) span[i] = static_cast<char>('a' + (i + length) % 26);
    ASSERT_TRUE(chars.append(span.data(), span.size()));
    expected.insert(expected.end(), span.begin(), span.end());
  }
  ASSERT_TRUE(chars.append(nullptr, 0));
  ASSERT_EQ(std::vector<char>(chars.data(), chars.data() + chars.size()), expected);

  chars.truncate(10);
  chars.truncate(20);  // never grows back
  ASSERT_EQ(chars.size(), 10u);
  ASSERT_TRUE(chars.push_back('!'));
  expected.resize(10);
  expected.push_back('!');
  EXPECT_EQ(std::vector<char>(chars.data(), chars.data() + chars.size()), expected);
}

TEST(GrowingArray, RefusesWhatCannotBeAddressed) {
  GrowingArray<uint64_t> values;
  ASSERT_TRUE(values.push_back(7));
  EXPECT_FALSE(values.append(values.data(), SIZE_MAX / 4));
  ASSERT_EQ(values.size(), 1u);  // left as it was
  EXPECT_EQ(values[0], 7u);
}

}  // namespace
}  // namespace pibgen::xml
