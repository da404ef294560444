#include "cli/run_pibgen.h"

#include "cli/check_and_verify_options.h"
#include "cli/long_options.h"
#include "cli/parse_command_line.h"
#include "cli/usage_text.h"
#include "conversion/read_xml_to_pib_file.h"

namespace pibgen {

int RunPibgen(int count, const char* const* arguments, file::FileSystem& file_system,
              TextSink& out) {
  // "--help" wins over "--version", and either over a conversion: nothing is read or written.
  const LongOptions options = ReadLongOptions(count, arguments);
  if (options.help || options.version) {
    out.Print(options.help ? HelpText() : VersionText());
    return 0;
  }
  if (const auto status = RunCheckOrVerify(count, arguments, file_system, out)) return *status;
  const CommandLine command_line = ParseCommandLine(count, arguments, out);
  if (!command_line.usable) return 1;
  if (ReadXMLToPIBFile(command_line.source, command_line.destination, file_system, out)) {
    return 0;
  }
  out.Print("Fatal Error: ReadXMLToPIBFile failed \n");
  return 1;
}

}  // namespace pibgen
