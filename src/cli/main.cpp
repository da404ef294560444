#include <string>
#include <vector>

#include "cli/process.h"
#include "cli/run_pibgen.h"
#include "cli/stdout_sink.h"
#include "file/native_file_system.h"

int main(int argc, char** argv) {
  pibgen::StdoutSink out;
  std::vector<std::string> arguments;
  if (!pibgen::PrepareProcess(argc, argv, &arguments, out)) return 1;
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pibgen::file::NativeFileSystem file_system;
  return pibgen::RunPibgen(static_cast<int>(pointers.size()), pointers.data(), file_system, out);
}
