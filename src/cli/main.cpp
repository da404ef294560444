#include <csignal>

#include "cli/open_standard_descriptors.h"
#include "cli/run_pibgen.h"
#include "cli/stdout_sink.h"
#include "file/posix_file_system.h"

int main(int argc, char** argv) {
  if (!pibgen::OpenStandardDescriptors()) return 1;
  // A reader that stops early (pibgen ... | head) must not kill the conversion halfway: the
  // sink sees EPIPE and drops the rest of the trace, and the image is still finished.
  std::signal(SIGPIPE, SIG_IGN);
  pibgen::StdoutSink out;
  pibgen::file::PosixFileSystem file_system;
  const int status = pibgen::RunPibgen(argc, argv, file_system, out);
  out.Flush();
  return status;
}
