#include "cli/long_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <vector>

namespace pibgen {
namespace {

using Mode = LongOptions::Mode;

struct OptionCase {
  std::vector<const char*> arguments;  // without the program path
  bool help;
  bool version;
  Mode mode;
  std::string_view path;
  std::optional<std::string_view> layout;
};

class ReadLongOptionsTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ReadLongOptionsTest, MatchesOnlyTheExactLongForms) {
  const OptionCase& c = GetParam();
  std::vector<const char*> argv = {"/usr/bin/pibgen"};
  argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
  const LongOptions options = ReadLongOptions(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(options.help, c.help);
  EXPECT_EQ(options.version, c.version);
  EXPECT_EQ(options.mode, c.mode);
  EXPECT_EQ(options.path, c.path);
  EXPECT_EQ(options.layout, c.layout);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLongOptionsTest,
    ::testing::Values(
        OptionCase{{}, false, false, Mode::kConvert, "", std::nullopt},
        OptionCase{{"--help"}, true, false, Mode::kConvert, "", std::nullopt},
        OptionCase{{"--version"}, false, true, Mode::kConvert, "", std::nullopt},
        // anywhere on the line, among switches and modes
        OptionCase{{"-Sa.xml", "-Db.bin", "--help"}, true, false, Mode::kConvert, "", std::nullopt},
        OptionCase{
            {"--version", "--check=a.xml"}, false, true, Mode::kCheck, "a.xml", std::nullopt},
        OptionCase{{"--version", "--help"}, true, true, Mode::kConvert, "", std::nullopt},
        // the last mode wins; the path is everything after the first '='
        OptionCase{{"--check=a.xml", "--verify=b=c.bin"},
                   false,
                   false,
                   Mode::kVerify,
                   "b=c.bin",
                   std::nullopt},
        OptionCase{
            {"--decode=i.bin", "--check=a.xml"}, false, false, Mode::kCheck, "a.xml", std::nullopt},
        OptionCase{{"--layout=a.xml", "--verify=i.bin", "--decode=j.bin", "--layout=b.xml"},
                   false,
                   false,
                   Mode::kDecode,
                   "j.bin",
                   "b.xml"},
        OptionCase{{"--decode=", "--layout="}, false, false, Mode::kDecode, "", ""},
        // look-alikes stay ignored arguments
        OptionCase{{"-h",          "-V",         "-help",     "/help",       "--helpx",
                    "--version=1", "--HELP",     "--Version", "--",          "---help",
                    "--help ",     "help",       "version",   "--check",     "--decode",
                    "--layout",    "--Layout=a", "-layout=a", "---decode=a", "x--verify=a"},
                   false,
                   false,
                   Mode::kConvert,
                   "",
                   std::nullopt}));

TEST(ReadLongOptions, ProgramPathIsNoOption) {
  const char* argv[] = {"--help", "-Sa.xml"};
  const LongOptions options = ReadLongOptions(2, argv);
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.version);
  const char* decode[] = {"--decode=a.bin", "--layout=a.xml"};
  EXPECT_EQ(ReadLongOptions(2, decode).mode, Mode::kConvert);
}

}  // namespace
}  // namespace pibgen
