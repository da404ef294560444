#include "file/temporary_name.h"

#include <atomic>

namespace pibgen::file {

std::string TemporaryName(std::string_view base, uint64_t entropy) {
  static std::atomic<uint64_t> calls{0};
  uint64_t mix = entropy ^ (++calls * 0x9E3779B97F4A7C15u);
  constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = ".";
  name.append(base).append(".pibgen-");
  for (int i = 0; i < 8; ++i, mix /= kDigits.size()) name += kDigits[mix % kDigits.size()];
  return name;
}

}  // namespace pibgen::file
