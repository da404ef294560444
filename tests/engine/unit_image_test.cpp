#include "engine/unit_image.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "format/checksum.h"

namespace pibgen {
namespace {

// The image in one block, holes written out.
std::vector<uint8_t> Whole(const UnitImage& image) {
  std::vector<uint8_t> bytes;
  image.ForEachPiece([&](const UnitImage::Piece& piece) {
    if (piece.data == nullptr) {
      bytes.resize(bytes.size() + piece.count, 0);
    } else {
      bytes.insert(bytes.end(), piece.data, piece.data + piece.count);
    }
  });
  return bytes;
}

uint8_t SummedChecksum(const std::vector<uint8_t>& bytes) {
  ImageChecksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  return checksum.Byte();
}

// Set fields anywhere (over the checksum byte too, beside a long hole): after each change the
// stamped byte is the one summing the whole image gives.
TEST(UnitImage, ChecksumFromTheChangeIsTheSummedOne) {
  std::mt19937 random(7);
  UnitImage image;
  FieldBytes bytes;
  const size_t over_checksum = image.BeginSetField();
  const uint8_t head[] = {1, 2, 3, 4};
  image.Write(head, 4);
  image.EndSetField();
  image.WriteZeros(UnitImage::kHole * 2);
  const size_t middle = image.BeginSetField();
  image.WriteZeros(6);
  image.EndSetField();
  const uint8_t tail[] = {9, 8, 7};
  image.Write(tail, 3);
  image.Finish();
  EXPECT_EQ(image.Checksum(), SummedChecksum(Whole(image)));
  int holes = 0;
  image.ForEachPiece([&](const UnitImage::Piece& piece) { holes += piece.data == nullptr; });
  EXPECT_EQ(holes, 1);
  for (int round = 0; round < 50; ++round) {
    for (const auto& [slot, length] : {std::pair{over_checksum, 4}, std::pair{middle, 6}}) {
      bytes.Clear();
      for (int i = 0; i < length; ++i) bytes.bytes.push_back(static_cast<uint8_t>(random()));
      image.SetField(slot, bytes);
    }
    image.StampChecksum();
    const std::vector<uint8_t> whole = Whole(image);
    ASSERT_EQ(whole.size(), 4 + UnitImage::kHole * 2 + 6 + 3);
    ASSERT_EQ(image.Checksum(), SummedChecksum(whole)) << "round " << round;
  }
}

}  // namespace
}  // namespace pibgen
