#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_pibgen.h"
#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

constexpr char kClean[] = "<pib><f><type>System.UInt16</type><value>1</value></f></pib>";
constexpr char kWarns[] = "<pib><f><type>System.Byte</type></f></pib>";
const std::string kGoodImage(
    "\x01\x00\x35"
    "abc",
    6);
const std::string kBadImage(
    "\x01\x00\x36"
    "abc",
    6);
constexpr char kLayout[] =
    "<pib><f><type>System.UInt16</type><value>1</value></f><f><type>System.Byte</type></f>"
    "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>";

struct ModeCase {
  std::vector<const char*> arguments;  // after the program name
  int status;
  const char* output;
};

TEST(RunModes, RunTheModeAskedForLast) {
  const ModeCase cases[] = {
      {{"--check=clean.xml"}, 0, "0 warnings, 0 errors\n"},
      {{"--check=warns.xml"},
       1,
       "warns.xml:1: warning: field 1: System.Byte field has no <value>; written as 00\n"
       "1 warning, 0 errors\n"},
      {{"--check="}, 1, ": error: cannot read the description\n0 warnings, 1 error\n"},
      {{"--verify=good.bin"}, 0, "good.bin: checksum ok (35)\n"},
      {{"--verify=bad.bin"}, 1, "bad.bin: checksum mismatch: stored 36, computed 35\n"},
      {{"--verify=short.bin"}, 0, "short.bin: no checksum to verify (2 bytes, fewer than 3)\n"},
      {{"--verify=missing.bin"}, 1, "missing.bin: cannot read the image\n"},
      // The path is everything after '=', even another '='.
      {{"--verify=a=b.bin"}, 0, "a=b.bin: checksum ok (35)\n"},
      {{"--check=warns.xml", "--verify=good.bin"}, 0, "good.bin: checksum ok (35)\n"},
      {{"--verify=bad.bin", "--check=clean.xml"}, 0, "0 warnings, 0 errors\n"},
      // With a layout, --verify compares field by field and --decode prints the description.
      {{"--layout=layout.xml", "--verify=good.bin"},
       0,
       "good.bin: matches layout.xml (3 fields, 6 bytes, checksum 35)\n"},
      {{"--decode=bad.bin", "--layout=layout.xml"},
       1,
       "bad.bin: checksum mismatch: stored 36, computed 35\n"},
      {{"--decode=good.bin"}, 1, "--decode needs --layout=DESCRIPTION\n"},
      {{"--layout=layout.xml", "--check=clean.xml"},
       1,
       "--layout needs --decode=IMAGE, --verify=IMAGE or --diff=IMAGE\n"},
      {{"-Sclean.xml", "-Dout.bin", "--layout=layout.xml"},
       1,
       "--layout needs --decode=IMAGE, --verify=IMAGE or --diff=IMAGE\n"},
      // Switches are not parsed and nothing is converted in any mode.
      {{"-Sclean.xml", "-Dout.bin", "--check=clean.xml"}, 0, "0 warnings, 0 errors\n"},
      {{"--verify=good.bin", "-Sclean.xml", "-Dout.bin"}, 0, "good.bin: checksum ok (35)\n"},
  };
  for (const ModeCase& c : cases) {
    file::MemoryFileSystem files;
    files.SetFile("clean.xml", kClean);
    files.SetFile("warns.xml", kWarns);
    files.SetFile("layout.xml", kLayout);
    files.SetFile("good.bin", kGoodImage);
    files.SetFile("a=b.bin", kGoodImage);
    files.SetFile("bad.bin", kBadImage);
    files.SetFile("short.bin", "ab");
    std::vector<const char*> argv = {"pibgen"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    testing::TextCapture out;
    EXPECT_EQ(RunPibgen(static_cast<int>(argv.size()), argv.data(), files, out), c.status)
        << c.arguments.back();
    EXPECT_EQ(out.Text(), c.output) << c.arguments.back();
    EXPECT_FALSE(files.HasFile("out.bin")) << c.arguments.back();
    EXPECT_EQ(files.File("bad.bin"), kBadImage);
    EXPECT_EQ(files.File("good.bin"), kGoodImage);
  }
}

TEST(RunModes, LookAlikesLeaveTheConversionAlone) {
  for (const char* other : {"--check", "--verify", "--decode", "--layout", "--checkclean.xml",
                            "--Check=clean.xml", "-check=clean.xml", "---check=clean.xml",
                            "x--verify=good.bin", "--Decode=good.bin", "-layout=clean.xml", "--"}) {
    const char* argv[] = {"pibgen", other, "-Sclean.xml", "-Dout.bin"};
    file::MemoryFileSystem files;
    files.SetFile("clean.xml", kClean);
    testing::TextCapture out;
    EXPECT_EQ(RunPibgen(4, argv, files, out), 0) << other;
    EXPECT_EQ(out.Text(), "2: Sclean.xml\n3: Dout.bin\ntype--System.UInt16\nvalue--1\n") << other;
    EXPECT_EQ(files.File("out.bin"), std::string("\x01\x00", 2)) << other;
  }
}

}  // namespace
}  // namespace pibgen
