#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pibgen::file {

// The name of a temporary file for base: ".BASE.pibgen-" and eight letters and digits, which
// the caller creates exclusively beside base (or in the temporary folder), trying another name
// if it is taken. entropy is what the system gives to tell this moment and process from others
// (a clock and the process number); each call in a process mixes in a count of its own.
std::string TemporaryName(std::string_view base, uint64_t entropy);

}  // namespace pibgen::file
