#include "cli/long_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace pibgen {
namespace {

struct OptionCase {
  std::vector<const char*> arguments;  // without the program path
  bool help;
  bool version;
};

class ReadLongOptionsTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ReadLongOptionsTest, MatchesOnlyTheExactLongForms) {
  const OptionCase& c = GetParam();
  std::vector<const char*> argv = {"/usr/bin/pibgen"};
  argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
  const LongOptions options = ReadLongOptions(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(options.help, c.help);
  EXPECT_EQ(options.version, c.version);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLongOptionsTest,
    ::testing::Values(OptionCase{{}, false, false}, OptionCase{{"--help"}, true, false},
                      OptionCase{{"--version"}, false, true},
                      // anywhere on the line, among switches
                      OptionCase{{"-Sa.xml", "-Db.bin", "--help"}, true, false},
                      OptionCase{{"--version", "-Sa.xml"}, false, true},
                      OptionCase{{"--version", "--help"}, true, true},
                      // look-alikes stay ignored arguments
                      OptionCase{{"-h", "-V", "-help", "/help", "--helpx", "--version=1", "--HELP",
                                  "--Version", "--", "---help", "--help ", "help", "version"},
                                 false,
                                 false}));

TEST(ReadLongOptions, ProgramPathIsNoOption) {
  const char* argv[] = {"--help", "-Sa.xml"};
  const LongOptions options = ReadLongOptions(2, argv);
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.version);
}

}  // namespace
}  // namespace pibgen
