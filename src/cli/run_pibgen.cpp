#include "cli/run_pibgen.h"

#include <string>

#include "check/check_description.h"
#include "cli/long_options.h"
#include "cli/parse_command_line.h"
#include "cli/usage_text.h"
#include "convert/read_xml_to_pib_file.h"
#include "decode/decode_image.h"
#include "engine/messages.h"
#include "verify/verify_image.h"
#include "verify/verify_with_layout.h"

namespace pibgen {
namespace {

int Convert(int count, const char* const* arguments, file::FileSystem& file_system, TextSink& out) {
  const CommandLine command_line = ParseCommandLine(count, arguments, out);
  if (!command_line.usable) return 1;
  if (ReadXMLToPIBFile(command_line.source, command_line.destination, file_system, out)) {
    return 0;
  }
  out.Print(kConversionFailed);
  return 1;
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
  // A layout only means something to --decode and --verify; elsewhere it is a mistake that
  // must not pass silently.
  if (options.layout && options.mode != Mode::kDecode && options.mode != Mode::kVerify) {
    out.Print(kLayoutNeedsAMode);
    return 1;
  }
  switch (options.mode) {
    case Mode::kConvert:
      break;
    case Mode::kCheck: {
      const CheckSummary summary = CheckDescription(path, file_system, out);
      return summary.warnings + summary.errors == 0 ? 0 : 1;
    }
    case Mode::kVerify:
      if (options.layout) {
        return VerifyWithLayout(path, std::string(*options.layout), file_system, out) ? 0 : 1;
      }
      return VerifyImage(path, file_system, out) ? 0 : 1;
    case Mode::kDecode:
      if (!options.layout) {
        out.Print(kDecodeNeedsALayout);
        return 1;
      }
      return DecodeImage(path, std::string(*options.layout), file_system, out) ? 0 : 1;
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
