#include "cli/long_options.h"

#include <string_view>

namespace pibgen {

LongOptions ReadLongOptions(int count, const char* const* arguments) {
  LongOptions options;
  for (int i = 1; i < count; ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--help") options.help = true;
    if (argument == "--version") options.version = true;
  }
  return options;
}

}  // namespace pibgen
