#pragma once

#include <cstring>
#include <string_view>

namespace pibgen {

// Whether a child's name is exactly word (case matters). The length is known when this
// compiles, so the test is a few instructions: it runs for every child of every field.
template <size_t N>
bool NameIs(std::string_view name, const char (&word)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), word, N - 1) == 0;
}

}  // namespace pibgen
