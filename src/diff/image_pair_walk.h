#pragma once

#include <cstdint>
#include <optional>

#include "engine/image_walk.h"
#include "file/image_cursor.h"
#include "format/checksum.h"

namespace pibgen {

// Two images walked front to back side by side, each read once: stored data in blocks, holes
// as counts of zeros that are never read. The walk hands on segments, stretches where neither
// image's piece changes, and sums each image's checksum byte as its pieces are taken.
class ImagePairWalk {
 public:
  struct Segment {
    uint64_t at = 0;
    uint64_t count = 0;
    // Whether the segment lies inside each image, and its bytes there (null for zeros).
    bool in_old = false;
    bool in_new = false;
    const uint8_t* old_data = nullptr;
    const uint8_t* new_data = nullptr;
  };

  ImagePairWalk(file::ImageCursor& old_image, file::ImageCursor& new_image)
      : old_(old_image), new_(new_image) {}

  // The next segment, ending at `to` at the latest; to may lie past the shorter image but not
  // past the longer. False at `to`, or once an image could not be read (Failed).
  bool Next(uint64_t to, Segment* segment);
  bool Failed() const { return old_.failed || new_.failed; }
  bool OldFailed() const { return old_.failed; }
  // Where the next segment starts.
  uint64_t At() const { return at_; }
  uint64_t Longer() const;

  // Once the walk has reached Longer(): each image's checksum byte as stored and as computed.
  uint8_t OldStored() const { return old_.stored; }
  uint8_t NewStored() const { return new_.stored; }
  uint8_t OldComputed() const { return old_.checksum.Byte(); }
  uint8_t NewComputed() const { return new_.checksum.Byte(); }

 private:
  struct Side {
    explicit Side(file::ImageCursor& cursor)
        : walk(cursor, 0, cursor.Length()), length(cursor.Length()) {}
    // Makes the piece taken last cover offset `at`, which lies inside the image.
    bool Cover(uint64_t at);

    ImageWalk walk;
    uint64_t length;
    ImageChecksum checksum;
    uint8_t stored = 0;
    uint64_t end = 0;  // of the piece taken last
    bool failed = false;
  };

  Side old_;
  Side new_;
  uint64_t at_ = 0;
};

}  // namespace pibgen
