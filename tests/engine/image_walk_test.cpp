#include "engine/image_walk.h"

#include <gtest/gtest.h>

#include <string>

namespace pibgen {
namespace {

// Bytes "0123456789" with a hole over [4, 8) and reads that fail from fail_from on.
class HoledImage final : public file::ImageReader {
 public:
  explicit HoledImage(uint64_t fail_from) : fail_from_(fail_from) {}
  bool Length(uint64_t* length) override {
    *length = 10;
    return true;
  }
  bool Seek(uint64_t offset) override {
    at_ = offset;
    return true;
  }
  bool Read(uint8_t* data, size_t count) override {
    if (at_ + count > fail_from_) return false;
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>('0' + at_ + i);
    at_ += count;
    return true;
  }
  bool FindData(uint64_t offset, uint64_t* begin, uint64_t* end) override {
    *begin = offset < 4 ? offset : offset < 8 ? 8 : offset;
    *end = offset < 4 ? 4 : 10;
    return true;
  }

 private:
  uint64_t fail_from_;
  uint64_t at_ = 0;
};

TEST(ImageWalk, HandsOnEachPieceOfTheStretchOnceAndKeepsAFailure) {
  struct Case {
    uint64_t from, to, max, fail_from;
    std::string pieces;  // each piece as "at:bytes " with z for a zero run
    bool failed;
  };
  const Case cases[] = {
      {0, 10, ImageWalk::kAny, 10, "0:0123 4:zzzz 8:89 ", false},
      {1, 9, 3, 10, "1:123 4:zzz 7:z 8:8 ", false},
      {5, 5, 3, 10, "", false},
      {0, 10, ImageWalk::kAny, 9, "0:0123 4:zzzz ", true},  // the read at 8 fails
  };
  for (const Case& c : cases) {
    HoledImage source(c.fail_from);
    file::ImageCursor cursor(source, 10);
    ImageWalk walk(cursor, c.from, c.to);
    std::string pieces;
    while (walk.Next(c.max)) {
      pieces += std::to_string(walk.At()) + ':';
      for (uint64_t i = 0; i < walk.Count(); ++i) {
        pieces += walk.Zeros() ? 'z' : static_cast<char>(walk.Data()[i]);
      }
      pieces += ' ';
    }
    EXPECT_EQ(pieces, c.pieces) << c.from << ' ' << c.max;
    EXPECT_EQ(walk.Failed(), c.failed);
    EXPECT_FALSE(walk.Next());  // a walk that has ended stays ended
    // The same stretch again, through ForEachPiece, which stops where the visit says.
    std::string first;
    const bool read = ForEachPiece(cursor, c.from, c.to, [&first](const ImageWalk& piece) {
      first = std::to_string(piece.At()) + ':' + std::to_string(piece.Count());
      return false;
    });
    EXPECT_TRUE(read);
    EXPECT_EQ(first.empty(), c.pieces.empty());
    EXPECT_EQ(ForEachPiece(cursor, c.from, c.to, [](const ImageWalk&) { return true; }), !c.failed);
  }
}

}  // namespace
}  // namespace pibgen
