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

int Convert(int count, const char* const* arguments, std::span<const SetValue> sets,
            file::FileSystem& file_system, TextSink& out) {
  const CommandLine command_line = ParseCommandLine(count, arguments, out);
  if (!command_line.usable) return 1;
  const ConversionOutcome outcome =
      ReadXMLToPIBFile(command_line.source, command_line.destination, file_system, out, sets);
  if (outcome) return 0;
  for (const Finding& refusal : outcome.refusals) out.Print(MessageText(refusal) + "\n");
  out.Print(ConversionMessage(outcome.failure, command_line.source));
  out.Print(Line(Code::kConversionFailed));
  return 1;
}

// Holds what the switches' parsing prints, for a run whose output is not a trace.
class HeldLines final : public TextSink {
 public:
  void Print(std::string_view text) override { text_ += text; }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The --set values, NAME=VALUE each; false (printed why) for one without '='.
bool SetValues(const LongOptions& options, TextSink& out, std::vector<SetValue>& sets) {
  for (const std::string_view set : options.sets) {
    const size_t equals = set.find('=');
    if (equals == std::string_view::npos) {
      Finding finding;
      finding.code = Code::kSetNeedsValue;
      finding.values = {std::string(set)};
      out.Print(MessageText(finding) + "\n");
      return false;
    }
    sets.push_back({std::string(set.substr(0, equals)), std::string(set.substr(equals + 1))});
  }
  return true;
}

// A table of units from -S and -D, the --set values applying to every unit.
int Units(int count, const char* const* arguments, const LongOptions& options, OutputFormat format,
          file::FileSystem& file_system, TextSink& out) {
  HeldLines switches;
  const CommandLine command_line = ParseCommandLine(count, arguments, switches);
  if (!command_line.usable) {
    out.Print(switches.Text());
    return 1;
  }
  if (command_line.source.empty() || command_line.destination.empty()) {
    out.Print(Line(Code::kUnitsNeedSwitches));
    return 1;
  }
  UnitsRequest request;
  request.description = command_line.source;
  request.pattern = command_line.destination;
  request.table = std::string(*options.units);
  request.digests = format == OutputFormat::kJson || options.manifest.has_value();
  for (const std::string_view set : options.sets) {
    const size_t equals = set.find('=');
    if (equals == std::string_view::npos) {
      Finding finding;
      finding.code = Code::kSetNeedsValue;
      finding.values = {std::string(set)};
      out.Print(MessageText(finding) + "\n");
      return 1;
    }
    request.sets.push_back(
        {std::string(set.substr(0, equals)), std::string(set.substr(equals + 1))});
  }
  std::optional<std::string> manifest;
  if (options.manifest) manifest = std::string(*options.manifest);
  return RunUnits(request, format, manifest, file_system, out);
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

// The exit status of a run that could not do what it was asked: --diff answers as cmp does,
// 2 for anything that keeps it from comparing (a command line it cannot use, lost output).
int TroubleStatus(const LongOptions& options) {
  return options.mode == LongOptions::Mode::kDiff && !options.help && !options.version ? 2 : 1;
}

int RunMode(const LongOptions& options, int count, const char* const* arguments,
            file::FileSystem& file_system, TextSink& out) {
  // "--help" wins over "--version", and either over every mode: nothing is read or written.
  if (options.help || options.version) {
    out.Print(options.help ? HelpText() : VersionText());
    return 0;
  }
  using Mode = LongOptions::Mode;
  const std::string path(options.path);
  const int refused = TroubleStatus(options);
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
  if (!options.sets.empty() && options.mode != Mode::kConvert) {
    out.Print(Line(Code::kSetNeedsConversion));
    return 1;
  }
  if (options.manifest && !(options.units && options.mode == Mode::kConvert)) {
    out.Print(Line(Code::kManifestNeedsUnits));
    return 1;
  }
  if (options.units && options.mode != Mode::kConvert && options.mode != Mode::kCheck) {
    out.Print(Line(Code::kUnitsNeedSwitches));
    return 1;
  }
  // A conversion's output is its trace, which has one form only; a table's is a list.
  if (options.format && options.mode == Mode::kConvert && !options.units) {
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
      if (options.units) return Units(count, arguments, options, format, file_system, out);
      break;
    case Mode::kCheck: {
      if (!options.units) return RunCheck(path, format, file_system, out);
      // A table is checked with the destination pattern -D gives, if it gives one.
      HeldLines switches;
      const CommandLine command_line = ParseCommandLine(count, arguments, switches);
      UnitsToCheck units{std::string(*options.units), std::nullopt};
      if (!command_line.destination.empty()) units.pattern = command_line.destination;
      return RunCheck(path, format, file_system, out, units);
    }
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
  std::vector<SetValue> sets;
  if (!SetValues(options, out, sets)) return 1;
  return Convert(count, arguments, sets, file_system, out);
}

}  // namespace

int RunPibgen(int count, const char* const* arguments, file::FileSystem& file_system,
              TextSink& out) {
  const LongOptions options = ReadLongOptions(count, arguments);
  const int status = RunMode(options, count, arguments, file_system, out);
  // A run whose output was lost did not do what it was asked, whatever it found.
  return out.Flush() ? status : TroubleStatus(options);
}

}  // namespace pibgen
