#include "file/file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "file/memory_file_system.h"

namespace pibgen::file {
namespace {

// The default block reader, over a file system that only reads whole files.
TEST(FileSystem, DefaultOpenSourceServesTheWholeFileInBlocks) {
  MemoryFileSystem files;
  files.SetFile("image.bin", "0123456789");
  auto file = files.OpenSource("image.bin", nullptr);
  ASSERT_TRUE(file);
  char block[4];
  std::string seen;
  std::vector<size_t> sizes;
  for (ptrdiff_t got; (got = file->Read(block, sizeof block)) > 0;) {
    seen.append(block, static_cast<size_t>(got));
    sizes.push_back(static_cast<size_t>(got));
  }
  EXPECT_EQ(seen, "0123456789");
  EXPECT_EQ(sizes, (std::vector<size_t>{4, 4, 2}));
  EXPECT_FALSE(files.OpenSource("missing.bin", nullptr));
}

}  // namespace
}  // namespace pibgen::file
