#include "cli/run_pibgen.h"
#include "cli/stdout_sink.h"
#include "file/posix_file_system.h"

int main(int argc, char** argv) {
  pibgen::StdoutSink out;
  pibgen::file::PosixFileSystem file_system;
  const int status = pibgen::RunPibgen(argc, argv, file_system, out);
  out.Flush();
  return status;
}
