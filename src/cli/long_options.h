#pragma once

#include <optional>
#include <string_view>

namespace pibgen {

// What the long options ask for, read in one pass over arguments 1 to count - 1 (argument 0,
// the program's own path, is never an option). Only these exact forms count: "--help",
// "--version", and "--check=", "--verify=", "--decode=", "--diff=", "--with=" and "--layout=" each
// followed by a path, and "--format=" followed by its value (everything after the '='). "--helpx",
// "--version=1",
// "--HELP", "--check" and every other argument starting with "--" are ignored, and so are the
// single letters "-h" and "-V".
struct LongOptions {
  bool help = false;     // print the usage text and convert nothing
  bool version = false;  // print "pibgen X.Y.Z" and convert nothing

  // The last of --check=, --verify=, --decode= and --diff= names the mode and its path; without
  // one, the switches -S and -D run a conversion.
  enum class Mode { kConvert, kCheck, kVerify, kDecode, kDiff };
  Mode mode = Mode::kConvert;
  std::string_view path;

  // The last --layout=: the description an image is verified against or decoded with.
  std::optional<std::string_view> layout;

  // The last --with=: the image --diff compares its own with.
  std::optional<std::string_view> with;

  // The last --format=: how --check, --verify and --decode print what they found.
  std::optional<std::string_view> format;
};

LongOptions ReadLongOptions(int count, const char* const* arguments);

}  // namespace pibgen
