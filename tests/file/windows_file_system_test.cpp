#include "file/windows_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <string>

#include "file/file_layer_test.h"

namespace pibgen::file {
namespace {

class WindowsFileSystemTest : public FileLayerTest<WindowsFileSystem> {
 protected:
  static std::wstring Wide(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
  }
};

TEST_F(WindowsFileSystemTest, OpensFilesOnDiskForReading) {
  Put(Path("a.xml"), std::string(100000, 'x'));
  FileIdentity identity;
  auto source = files_.OpenSource(Path("a.xml"), &identity);
  ASSERT_TRUE(source);
  EXPECT_TRUE(identity.known);
  std::string read(200000, '\0');
  EXPECT_EQ(source->Read(read.data(), read.size()), 100000);
  EXPECT_FALSE(source->Changed());
  for (const std::string& path :
       {std::string(), scratch_.Dir(), Path("missing.xml"), std::string("NUL")}) {
    EXPECT_FALSE(files_.OpenSource(path, nullptr)) << path;
  }
}

TEST_F(WindowsFileSystemTest, ReplacesTheDestinationWholeAndKeepsItsAttributes) {
  Put(Path("image.bin"), "an older image");
  ASSERT_TRUE(::SetFileAttributesW(Wide(Path("image.bin")).c_str(),
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(
      ::CreateHardLinkW(Wide(Path("hard.bin")).c_str(), Wide(Path("image.bin")).c_str(), nullptr));
  auto destination = files_.OpenDestination(Path("image.bin"), {});
  ASSERT_TRUE(destination);
  ASSERT_TRUE(Write(destination->Replacement(), "new"));
  const uint8_t stamp = '!';
  ASSERT_TRUE(destination->Replacement()->WriteAt(1, &stamp, 1));
  EXPECT_EQ(Get(Path("image.bin")), "an older image");  // nothing shows before the replace
  ASSERT_TRUE(destination->Replace());
  destination.reset();
  EXPECT_EQ(Get(Path("image.bin")), "n!w");
  EXPECT_EQ(Get(Path("hard.bin")), "an older image");  // a hard link keeps the old file
  EXPECT_TRUE(::GetFileAttributesW(Wide(Path("image.bin")).c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(scratch_.Names(), "hard.bin image.bin");
}

std::string Utf8Of(const std::wstring& text) {
  const std::u8string utf8 = std::filesystem::path(text).u8string();
  return std::string(utf8.begin(), utf8.end());
}

// Owner, group and DACL as SDDL text, for comparing two files' security whole.
std::wstring SecurityText(const std::wstring& path) {
  constexpr SECURITY_INFORMATION kWhat =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"(unreadable)";
  }
  wchar_t* text = nullptr;
  std::wstring result = L"(not convertible)";
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kWhat,
                                                             &text, nullptr)) {
    result = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return result;
}

TEST_F(WindowsFileSystemTest, AReplacedFileKeepsItsOwnerGroupAndDacl) {
  Put(Path("image.bin"), "old");
  ASSERT_TRUE(
      ::CreateHardLinkW(Wide(Path("hard.bin")).c_str(), Wide(Path("image.bin")).c_str(), nullptr));
  // A DACL of its own, which the folder's would not give a new file: read for everyone, all
  // for the administrators.
  PSECURITY_DESCRIPTOR wanted = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)", SDDL_REVISION_1, &wanted, nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted));
  const std::wstring image = Wide(Path("image.bin"));
  ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(image.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, dacl, nullptr),
            ERROR_SUCCESS);
  ::LocalFree(wanted);
  const std::wstring before = SecurityText(image);
  // Wine keeps Unix permission bits, not DACLs: there the DACL just set reads back as another.
  if (before.find(L"D:P(") == std::wstring::npos) {
    GTEST_SKIP() << "this system does not store a file's own DACL: " << Utf8Of(before);
  }

  auto destination = files_.OpenDestination(Path("image.bin"), {});
  ASSERT_TRUE(destination);
  ASSERT_NE(destination->Replacement(), nullptr);  // replaced, not written in place
  ASSERT_TRUE(Write(destination->Replacement(), "new"));
  ASSERT_TRUE(destination->Replace());
  destination.reset();
  EXPECT_EQ(Get(Path("image.bin")), "new");
  EXPECT_EQ(Get(Path("hard.bin")), "old");
  EXPECT_EQ(SecurityText(image), before);
}

TEST_F(WindowsFileSystemTest, ADroppedImageLeavesNothing) {
  for (const char* name : {"new.bin", "old.bin"}) {
    if (std::string(name) == "old.bin") Put(Path(name), "old");
    auto destination = files_.OpenDestination(Path(name), {});
    ASSERT_TRUE(destination);
    ASSERT_TRUE(Write(destination->Replacement(), "bytes"));
  }
  EXPECT_EQ(scratch_.Names(), "old.bin");
  EXPECT_EQ(Get(Path("old.bin")), "old");
}

TEST_F(WindowsFileSystemTest, RefusesWhereAnOpenForWritingFails) {
  Put(Path("fields.xml"), "<r/>");
  ASSERT_TRUE(
      ::CreateHardLinkW(Wide(Path("hard.bin")).c_str(), Wide(Path("fields.xml")).c_str(), nullptr));
  Put(Path("read-only.bin"), "old");
  ASSERT_TRUE(::SetFileAttributesW(Wide(Path("read-only.bin")).c_str(), FILE_ATTRIBUTE_READONLY));
  Put(Path("held.bin"), "old");
  const HANDLE holder = ::CreateFileW(Wide(Path("held.bin")).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  FileIdentity description;
  auto source = files_.OpenSource(Path("fields.xml"), &description);
  ASSERT_TRUE(source);
  source.reset();
  for (const std::string& path :
       {std::string(), scratch_.Dir(), Path("missing/image.bin"), Path("fields.xml"),
        Path("hard.bin"), Path("read-only.bin"), Path("held.bin"), Path("image.bin\\")}) {
    EXPECT_FALSE(files_.OpenDestination(path, {&description, 1})) << path;
  }
  ::CloseHandle(holder);
  ::SetFileAttributesW(Wide(Path("read-only.bin")).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Get(Path("fields.xml")), "<r/>");
  EXPECT_EQ(Get(Path("read-only.bin")), "old");
}

// Standard output redirected to a file names that file, so that the image is never written
// over it.
TEST_F(WindowsFileSystemTest, StandardOutputNamesItsFile) {
  Put(Path("log.txt"), "");
  const HANDLE log =
      ::CreateFileW(Wide(Path("log.txt")).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, log);
  const FileIdentity output = files_.StandardOutput();
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
  FileIdentity opened;
  ASSERT_TRUE(files_.OpenSource(Path("log.txt"), &opened));
  EXPECT_TRUE(output.SameFile(opened));
  ::CloseHandle(log);
  EXPECT_FALSE(files_.OpenDestination(Path("log.txt"), {&output, 1}));
  EXPECT_FALSE(files_.StandardOutput().known && files_.StandardOutput().SameFile(opened));
}

TEST_F(WindowsFileSystemTest, WritesDevicesInPlace) {
  for (const char* device : {"NUL", "nul"}) {
    auto null = files_.OpenDestination(device, {});
    ASSERT_TRUE(null) << device;
    EXPECT_EQ(null->Replacement(), nullptr);
    auto written = null->OpenInPlace();
    EXPECT_TRUE(Write(written.get(), "gone") && written->Close());
  }
}

// Zero runs may become holes; whatever the file system does, the bytes read back are exact and
// every non-zero byte lies in a stretch FindData reports.
TEST_F(WindowsFileSystemTest, ZeroRunsReadBackAsZerosAndDataIsFound) {
  auto image = files_.CreateScratchFile();
  ASSERT_TRUE(image);
  const uint8_t head[] = {1, 2, 3};
  ASSERT_TRUE(image->Write(head, 3));
  ASSERT_TRUE(image->WriteZeros(5u << 20));
  ASSERT_TRUE(image->Write(head, 1));
  uint64_t length = 0;
  ASSERT_TRUE(image->Length(&length));
  ASSERT_EQ(length, 4 + (5u << 20));
  std::string expected(length, '\0');
  expected[0] = 1;
  expected[1] = 2;
  expected[2] = 3;
  expected[3 + (5u << 20)] = 1;
  EXPECT_TRUE(ReadDataStretches(*image) == expected)
      << "a non-zero byte was outside every data stretch";
}

TEST_F(WindowsFileSystemTest, ScratchFilesGoWhenDropped) {
  pibgen::testing::UseTemporaryFolder(scratch_.Dir());
  auto scratch = files_.CreateScratchFile();
  pibgen::testing::UseTemporaryFolder("");
  ASSERT_TRUE(Write(scratch.get(), "held"));
  scratch.reset();
  EXPECT_EQ(scratch_.Names(), "");
}

TEST_F(WindowsFileSystemTest, FullPathsAreFormedAsWindowsFormsThem) {
  EXPECT_EQ(files_.FullPath("C:\\temp\\short.bin"), "C:\\temp\\short.bin");
  EXPECT_EQ(files_.FullPath("C:/temp/./a/../short.bin"), "C:\\temp\\short.bin");
  EXPECT_EQ(files_.FullPath("\\\\server\\share\\x.bin"), "\\\\server\\share\\x.bin");
  const std::string relative = files_.FullPath("x.bin");
  EXPECT_EQ(relative.substr(1, 2), ":\\") << relative;
}

}  // namespace
}  // namespace pibgen::file
