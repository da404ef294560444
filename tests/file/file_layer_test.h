#pragma once

#include <gtest/gtest.h>

#include <string>

#include "file/file_system.h"
#include "scratch_directory.h"

namespace pibgen::file {

// What the tests of each system's file layer share: a scratch folder, small ways to fill and
// read it, and the file layer itself.
template <class Files>
class FileLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Made()); }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  static void Put(const std::string& path, const std::string& contents) {
    pibgen::testing::ScratchDirectory::Put(path, contents);
  }
  static std::string Get(const std::string& path) {
    return pibgen::testing::ScratchDirectory::Get(path);
  }
  static bool Write(ImageFile* file, const std::string& text) {
    return file != nullptr &&
           file->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

  // The image as its data stretches give it, each found with FindData and read, the rest left
  // zero: a non-zero byte outside every stretch reads back as zero.
  static std::string ReadDataStretches(ImageReader& image) {
    uint64_t length = 0;
    EXPECT_TRUE(image.Length(&length));
    std::string found(length, '\0');
    for (uint64_t position = 0; position < length;) {
      uint64_t begin = 0;
      uint64_t end = 0;
      EXPECT_TRUE(image.FindData(position, &begin, &end));
      EXPECT_GE(begin, position);
      EXPECT_LE(end, length);
      if (begin >= end || begin < position || end > length) break;
      EXPECT_TRUE(image.Seek(begin));
      EXPECT_TRUE(image.Read(reinterpret_cast<uint8_t*>(found.data() + begin), end - begin));
      position = end;
    }
    return found;
  }

  pibgen::testing::ScratchDirectory scratch_{"file-test"};
  Files files_;
};

}  // namespace pibgen::file
