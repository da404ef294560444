#include "cli/parse_command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "text_capture.h"

namespace pibgen {
namespace {

struct SwitchCase {
  std::vector<const char*> arguments;  // without the program path
  const char* source;
  const char* destination;
  const char* trace;
};

class ParseCommandLineTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ParseCommandLineTest, FillsPathsAndTraces) {
  const SwitchCase& c = GetParam();
  std::vector<const char*> argv = {"/usr/bin/pibgen"};
  argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
  testing::TextCapture out;
  const CommandLine result = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out);
  EXPECT_TRUE(result.usable);
  EXPECT_EQ(result.source, c.source);
  EXPECT_EQ(result.destination, c.destination);
  EXPECT_EQ(out.Text(), c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLineTest,
    ::testing::Values(
        SwitchCase{{"-Sfields.xml", "-Dimage.bin"},
                   "fields.xml",
                   "image.bin",
                   "1: Sfields.xml\n2: Dimage.bin\n"},
        SwitchCase{{}, "", "", ""},
        // either case, '/' for '-', the path's own case kept
        SwitchCase{{"-sIN.XML", "/dOUT.BIN"}, "IN.XML", "OUT.BIN", "1: sIN.XML\n2: dOUT.BIN\n"},
        // only the letter after the prefix counts
        SwitchCase{{"-Source.xml"}, "ource.xml", "", "1: Source.xml\n"},
        // a blank after the letter leaves the path empty; the next argument is no switch
        SwitchCase{{"-S", "fields.xml"}, "", "", "1: S\n"},
        // the last occurrence wins, and every occurrence is traced in order
        SwitchCase{{"-Da.bin", "-Sx.xml", "-Db.bin"},
                   "x.xml",
                   "b.bin",
                   "1: Da.bin\n2: Sx.xml\n3: Db.bin\n"},
        // other letters, a bare prefix and long options are ignored without output
        SwitchCase{{"-X", "-", "/", "--Sx", "-h", "plain", "-Sa"}, "a", "", "7: Sa\n"}));

TEST(ParseCommandLine, ProgramPathIsNoSwitch) {
  const char* argv[] = {"/Dsomewhere/pibgen", "-Sa.xml"};
  testing::TextCapture out;
  const CommandLine result = ParseCommandLine(2, argv, out);
  EXPECT_EQ(result.destination, "");
  EXPECT_EQ(out.Text(), "1: Sa.xml\n");
}

TEST(ParseCommandLine, RefusesAPathThatDoesNotFitAfterTracingIt) {
  const std::string fits = "-D" + std::string(259, 'p');
  const std::string too_long = "-S" + std::string(260, 'p');
  const char* argv[] = {"pibgen", fits.c_str(), too_long.c_str(), "-Dlater.bin"};
  testing::TextCapture out;
  const CommandLine result = ParseCommandLine(4, argv, out);
  EXPECT_FALSE(result.usable);
  EXPECT_EQ(out.Text(), "1: D" + std::string(259, 'p') + "\n2: S" + std::string(260, 'p') +
                            "\nargument 2: path too long (259 characters at most)\n");
}

}  // namespace
}  // namespace pibgen
