#include "cli/long_options.h"

namespace pibgen {
namespace {

struct PathOption {
  std::string_view prefix;
  LongOptions::Mode mode;
};
constexpr PathOption kModes[] = {
    {"--check=", LongOptions::Mode::kCheck},
    {"--verify=", LongOptions::Mode::kVerify},
    {"--decode=", LongOptions::Mode::kDecode},
    {"--diff=", LongOptions::Mode::kDiff},
};
constexpr std::string_view kLayout = "--layout=";
constexpr std::string_view kFormat = "--format=";
constexpr std::string_view kUnits = "--units=";
constexpr std::string_view kManifest = "--manifest=";
constexpr std::string_view kSet = "--set=";
constexpr std::string_view kWith = "--with=";

}  // namespace

LongOptions ReadLongOptions(int count, const char* const* arguments) {
  LongOptions options;
  for (int i = 1; i < count; ++i) {
    const std::string_view argument = arguments[i];
    if (!argument.starts_with("--")) continue;
    if (argument == "--help") options.help = true;
    if (argument == "--version") options.version = true;
    if (argument.starts_with(kLayout)) options.layout = argument.substr(kLayout.size());
    if (argument.starts_with(kWith)) options.with = argument.substr(kWith.size());
    if (argument.starts_with(kFormat)) options.format = argument.substr(kFormat.size());
    if (argument.starts_with(kUnits)) options.units = argument.substr(kUnits.size());
    if (argument.starts_with(kManifest)) options.manifest = argument.substr(kManifest.size());
    if (argument.starts_with(kSet)) options.sets.push_back(argument.substr(kSet.size()));
    for (const PathOption& option : kModes) {
      if (argument.starts_with(option.prefix)) {
        options.mode = option.mode;
        options.path = argument.substr(option.prefix.size());
      }
    }
  }
  return options;
}

}  // namespace pibgen
