#include "cli/check_and_verify_options.h"

#include <string>
#include <string_view>

#include "check/check_description.h"
#include "verify/verify_image.h"

namespace pibgen {
namespace {

constexpr std::string_view kCheck = "--check=";
constexpr std::string_view kVerify = "--verify=";

}  // namespace

std::optional<int> RunCheckOrVerify(int count, const char* const* arguments,
                                    file::FileSystem& file_system, TextSink& out) {
  std::optional<std::string_view> check;
  std::optional<std::string_view> verify;
  for (int i = 1; i < count; ++i) {
    const std::string_view argument = arguments[i];
    if (argument.starts_with(kCheck)) {
      check = argument.substr(kCheck.size());
      verify.reset();
    } else if (argument.starts_with(kVerify)) {
      verify = argument.substr(kVerify.size());
      check.reset();
    }
  }
  if (check) {
    const CheckSummary summary = CheckDescription(std::string(*check), file_system, out);
    return summary.warnings + summary.errors == 0 ? 0 : 1;
  }
  if (verify) return VerifyImage(std::string(*verify), file_system, out) ? 0 : 1;
  return std::nullopt;
}

}  // namespace pibgen
