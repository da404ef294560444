#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pibgen::testing {

inline std::vector<uint8_t> Bytes(const std::string& data) {
  return std::vector<uint8_t>(data.begin(), data.end());
}

}  // namespace pibgen::testing
