#include "file/image_cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pibgen::file {
namespace {

// An image of `length` bytes with data only in [data_begin, data_end) (a hole elsewhere), or
// without hole lookup at all; counts the bytes read.
class SparseSource final : public ImageReader {
 public:
  SparseSource(uint64_t length, uint64_t data_begin, uint64_t data_end, bool finds_holes)
      : length_(length), begin_(data_begin), end_(data_end), finds_holes_(finds_holes) {}

  uint8_t ByteAt(uint64_t offset) const {
    return offset >= begin_ && offset < end_ ? static_cast<uint8_t>(1 + offset % 251) : 0;
  }
  bool Length(uint64_t* length) override {
    *length = length_;
    return true;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  bool Read(uint8_t* data, size_t count) override {
    if (position_ + count > length_) return false;
    for (size_t i = 0; i < count; ++i) data[i] = ByteAt(position_ + i);
    position_ += count;
    bytes_read += count;
    return true;
  }
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    if (!finds_holes_) return ImageReader::FindData(offset, begin, end);
    *begin = *end = length_;
    if (offset < end_) {
      *begin = std::max(offset, begin_);
      *end = end_;
    }
    return true;
  }
  uint64_t bytes_read = 0;

 private:
  uint64_t length_, begin_, end_;
  uint64_t position_ = 0;
  bool finds_holes_;
};

TEST(ImageCursor, GivesEveryByteAndNeverReadsAHole) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  struct Case {
    uint64_t length, data_begin, data_end;
    bool finds_holes;
    uint64_t read_at_most;
  };
  const Case cases[] = {
      {2 * kGiB + 10, kGiB, kGiB + 3000000, true, 3000000},  // hole, data, hole
      {2 * kGiB, 0, 5, true, 5},                             // data, then a hole to the end
      {5000000, 100, 4000000, false, 5000000},               // no holes known: all is read
  };
  for (const Case& c : cases) {
    SparseSource source(c.length, c.data_begin, c.data_end, c.finds_holes);
    ImageCursor cursor(source, c.length);
    uint64_t mismatches = 0;
    uint64_t at = 0;
    // Uneven steps, as fields of different lengths ask.
    for (uint64_t step = 1; at < c.length; step = step * 7 % 1000003 + 1) {
      ImageCursor::Piece piece;
      ASSERT_TRUE(cursor.Next(at, step, &piece));
      ASSERT_GT(piece.count, 0u);
      ASSERT_LE(piece.count, step);
      if (piece.data == nullptr) {
        mismatches += source.ByteAt(at) != 0 || source.ByteAt(at + piece.count - 1) != 0;
      } else {
        for (uint64_t i = 0; i < piece.count; ++i)
          mismatches += piece.data[i] != source.ByteAt(at + i);
      }
      at += piece.count;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_LE(source.bytes_read, c.read_at_most);
    ImageCursor::Piece piece;
    EXPECT_FALSE(cursor.Next(c.length, 1, &piece));
  }
}

TEST(ImageCursor, CopiesAcrossDataAndHoleAndGoesBack) {
  SparseSource source(100, 10, 20, true);
  ImageCursor cursor(source, 100);
  uint8_t bytes[16];
  ASSERT_TRUE(cursor.Copy(15, 10, bytes));
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], source.ByteAt(15 + i)) << i;
  ASSERT_TRUE(cursor.Copy(8, 4, bytes));
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(bytes[i], source.ByteAt(8 + i)) << i;
  EXPECT_FALSE(cursor.Copy(95, 10, bytes));
}

}  // namespace
}  // namespace pibgen::file
