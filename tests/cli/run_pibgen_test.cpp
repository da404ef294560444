#include "cli/run_pibgen.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/usage_text.h"
#include "file/memory_file_system.h"
#include "format/field_codec.h"
#include "text_capture.h"

namespace pibgen {
namespace {

constexpr const char* kDescription =
    "<pib><f><type>System.UInt16</type><value>1</value></f>"
    "<f><type>System.Byte</type><value>2</value></f>"
    "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>";

struct RunResult {
  int status;
  std::string output;
  bool image_written;
  std::string image;
};

RunResult RunWith(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "pibgen");
  file::MemoryFileSystem files;
  files.SetFile("fields.xml", kDescription);
  testing::TextCapture out;
  RunResult run;
  run.status = RunPibgen(static_cast<int>(arguments.size()), arguments.data(), files, out);
  run.output = out.Text();
  run.image_written = files.HasFile("image.bin");
  if (run.image_written) run.image = files.File("image.bin");
  return run;
}

TEST(RunPibgen, HelpOrVersionAnswersAndConvertsNothing) {
  const std::string too_long = "-S" + std::string(300, 'p');
  struct Case {
    std::vector<const char*> arguments;
    std::string_view output;
  };
  const Case cases[] = {
      {{"--help"}, HelpText()},
      {{"--version"}, VersionText()},
      {{"-Sfields.xml", "--help", "-Dimage.bin"}, HelpText()},
      {{"-Sfields.xml", "-Dimage.bin", "--version"}, VersionText()},
      {{"--version", "--help"}, HelpText()},  // help wins, whatever the order
      {{"--help", "--version"}, HelpText()},
      // a path too long would stop a conversion; help is answered all the same
      {{too_long.c_str(), "--help"}, HelpText()},
  };
  for (const Case& c : cases) {
    const RunResult run = RunWith(c.arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_FALSE(run.image_written);
  }
}

TEST(RunPibgen, LookAlikesOfLongOptionsChangeNothing) {
  const RunResult plain = RunWith({"-Sfields.xml", "-Dimage.bin"});
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(plain.image, std::string("\x01\x00\x35\x61\x62\x63", 6));
  for (const char* look_alike : {"-h", "-V", "--helpx", "--version=1", "--HELP", "--"}) {
    const RunResult run = RunWith({look_alike, "-Sfields.xml", "-Dimage.bin"});
    EXPECT_EQ(run.status, 0) << look_alike;
    // the switches moved up by one place, and their trace lines say so; the rest is the same
    const std::string plain_switches = "1: Sfields.xml\n2: Dimage.bin\n";
    const std::string moved_switches = "2: Sfields.xml\n3: Dimage.bin\n";
    ASSERT_EQ(plain.output.substr(0, plain_switches.size()), plain_switches);
    EXPECT_EQ(run.output, moved_switches + plain.output.substr(plain_switches.size()))
        << look_alike;
    EXPECT_EQ(run.image, plain.image) << look_alike;
  }
}

TEST(UsageText, VersionIsOneLineOfThreeNumbers) {
  EXPECT_TRUE(
      std::regex_match(std::string(VersionText()), std::regex("pibgen [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << VersionText();
}

TEST(UsageText, HelpFitsATerminalAndEndsWithALineFeed) {
  const std::string help(HelpText());
  ASSERT_FALSE(help.empty());
  EXPECT_EQ(help.back(), '\n');
  std::istringstream lines(help);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_LE(line.size(), 79u) << line;
    EXPECT_TRUE(line.empty() || line.back() != ' ') << "trailing blank: " << line;
  }
  // Six modes and their options in one screen of a tall terminal.
  EXPECT_LE(count, 48);
}

// What the help says about a type: the text after the type name on its line, or "" when no
// line of the help starts with that name.
std::string HelpOnType(const std::string& type) {
  std::istringstream lines{std::string(HelpText())};
  std::string line;
  const std::string lead = "  " + type + " ";
  while (std::getline(lines, line)) {
    if (line.rfind(lead, 0) == 0) return line.substr(line.find_first_not_of(' ', lead.size()));
  }
  return "";
}

// Every type pibgen encodes is in the help, with the width it takes in the image.
TEST(UsageText, HelpNamesEveryTypeWithItsWidth) {
  for (const char* type : {"System.UInt16", "System.Byte", "System.UInt32", "System.Int32"}) {
    const uint64_t width = FieldLength(FieldEntry{type, 0, ""});
    ASSERT_FALSE(IsSized(KindOf(type))) << type;
    const std::string expected = std::to_string(width) + (width == 1 ? " byte:" : " bytes:");
    EXPECT_EQ(HelpOnType(type).rfind(expected, 0), 0u) << type << ": " << HelpOnType(type);
  }
  for (const char* type : {"System.Byte[]", "anything else"}) {
    ASSERT_TRUE(IsSized(KindOf(type))) << type;
    EXPECT_EQ(HelpOnType(type).rfind("<size> ", 0), 0u) << type << ": " << HelpOnType(type);
  }
}

}  // namespace
}  // namespace pibgen
