#include "cli/run_pibgen.h"

#include <string>

#include <optional>

#include "cli/long_options.h"
#include "cli/output_format.h"
#include "cli/parse_command_line.h"
#include "cli/run_modes.h"
#include "cli/usage_text.h"
#include "convert/read_xml_to_pib_file.h"
#include "engine/catalogue.h"

namespace pibgen {
namespace {

int Convert(int count, const char* const* arguments, file::FileSystem& file_system, TextSink& out) {
  const CommandLine command_line = ParseCommandLine(count, arguments, out);
  if (!command_line.usable) return 1;
  const ConversionOutcome outcome =
      ReadXMLToPIBFile(command_line.source, command_line.destination, file_system, out);
  if (outcome) return 0;
  out.Print(ConversionMessage(outcome.failure, command_line.source));
  out.Print(Line(Code::kConversionFailed));
  return 1;
}

// The format --format= names, or nothing (printed why) for a value that is none.
std::optional<OutputFormat> FormatNamed(std::string_view name, TextSink& out) {
  if (name == "text") return OutputFormat::kText;
  if (name == "json") return OutputFormat::kJson;
  if (name == "sarif") return OutputFormat::kSarif;
  Finding unknown;
  unknown.code = Code::kUnknownFormat;
  unknown.values = {std::string(name)};
  out.Print(MessageText(unknown) + "\n");
  return std::nullopt;
}

int RunMode(int count, const char* const* arguments, file::FileSystem& file_system, TextSink& out) {
  // "--help" wins over "--version", and either over every mode: nothing is read or written.
  const LongOptions options = ReadLongOptions(count, arguments);
  if (options.help || options.version) {
    out.Print(options.help ? HelpText() : VersionText());
    return 0;
  }
  using Mode = LongOptions::Mode;
  const std::string path(options.path);
  // --diff answers as cmp does: 2 for anything that keeps it from comparing, a command line
  // it cannot use included.
  const int refused = options.mode == Mode::kDiff ? 2 : 1;
  if (options.with && options.mode != Mode::kDiff) {
    out.Print(Line(Code::kWithNeedsDiff));
    return 1;
  }
  // A layout only means something to --decode, --verify and --diff; elsewhere it is a mistake
  // that must not pass silently.
  if (options.layout && options.mode != Mode::kDecode && options.mode != Mode::kVerify &&
      options.mode != Mode::kDiff) {
    out.Print(Line(Code::kLayoutNeedsAMode));
    return 1;
  }
  // A conversion's output is its trace, which has one form only.
  if (options.format && options.mode == Mode::kConvert) {
    out.Print(Line(Code::kFormatNeedsAMode));
    return 1;
  }
  OutputFormat format = OutputFormat::kText;
  if (options.format) {
    const std::optional<OutputFormat> named = FormatNamed(*options.format, out);
    if (!named) return refused;
    format = *named;
  }
  if (format == OutputFormat::kSarif && options.mode != Mode::kCheck) {
    out.Print(Line(Code::kSarifNeedsCheck));
    return refused;
  }
  switch (options.mode) {
    case Mode::kConvert:
      break;
    case Mode::kCheck:
      return RunCheck(path, format, file_system, out);
    case Mode::kVerify:
      return RunVerify(path, options.layout, format, file_system, out);
    case Mode::kDecode:
      if (!options.layout) {
        out.Print(Line(Code::kDecodeNeedsALayout));
        return 1;
      }
      return RunDecode(path, std::string(*options.layout), format, file_system, out);
    case Mode::kDiff: {
      if (!options.with) {
        out.Print(Line(Code::kDiffNeedsWith));
        return 2;
      }
      std::optional<std::string> layout;
      if (options.layout) layout.emplace(*options.layout);
      return RunDiff(path, std::string(*options.with), layout, format, file_system, out);
    }
  }
  return Convert(count, arguments, file_system, out);
}

}  // namespace

int RunPibgen(int count, const char* const* arguments, file::FileSystem& file_system,
              TextSink& out) {
  const int status = RunMode(count, arguments, file_system, out);
  // A run whose output was lost did not do what it was asked, whatever it found.
  return out.Flush() ? status : 1;
}

}  // namespace pibgen
