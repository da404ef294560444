#include "file/file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "file/memory_file_system.h"

namespace pibgen::file {
namespace {

// The default block reader, over a file system that only reads whole files.
TEST(FileSystem, DefaultOpenForReadingServesTheWholeFileInBlocks) {
  MemoryFileSystem files;
  files.SetFile("image.bin", "0123456789");
  auto file = files.OpenForReading("image.bin");
  ASSERT_TRUE(file);
  uint8_t block[4];
  std::string seen;
  size_t got = 0;
  std::vector<size_t> sizes;
  while (file->Read(block, sizeof block, &got) && got > 0) {
    seen.append(reinterpret_cast<const char*>(block), got);
    sizes.push_back(got);
  }
  EXPECT_EQ(seen, "0123456789");
  EXPECT_EQ(sizes, (std::vector<size_t>{4, 4, 2}));
  EXPECT_FALSE(files.OpenForReading("missing.bin"));
}

}  // namespace
}  // namespace pibgen::file
