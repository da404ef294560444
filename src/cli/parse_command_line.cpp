#include "cli/parse_command_line.h"

#include <string_view>

#include "engine/catalogue.h"
#include "file/path_length.h"

namespace pibgen {

CommandLine ParseCommandLine(int count, const char* const* arguments, TextSink& out) {
  CommandLine result;
  for (int i = 1; i < count; ++i) {
    const std::string_view argument = arguments[i];
    if (argument.size() < 2 || (argument[0] != '-' && argument[0] != '/')) continue;
    const char letter = argument[1];
    std::string* target = nullptr;
    if (letter == 'S' || letter == 's') target = &result.source;
    if (letter == 'D' || letter == 'd') target = &result.destination;
    if (target == nullptr) continue;

    out.Print(std::to_string(i) + ": " + std::string(argument.substr(1)) + "\n");
    const std::string_view path = argument.substr(2);
    if (file::CountPathCharacters(path) > file::kMaxPathCharacters) {
      Finding too_long;
      too_long.code = Code::kPathTooLong;
      too_long.values = {std::to_string(i), std::to_string(file::kMaxPathCharacters)};
      out.Print(MessageText(too_long) + "\n");
      result.usable = false;
      return result;
    }
    target->assign(path);
  }
  return result;
}

}  // namespace pibgen
