#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace pibgen {

// What the long options ask for, read in one pass over arguments 1 to count - 1 (argument 0,
// the program's own path, is never an option). Only these exact forms count: "--help",
// "--version", and "--check=", "--verify=", "--decode=", "--diff=", "--with=", "--layout=",
// "--units=" and "--manifest=" each followed by a path, and "--format=" and "--set=" followed by
// a value (everything after the '='). "--helpx", "--version=1",
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

  // The last --units=: a table of units, one image each, for a conversion or --check.
  std::optional<std::string_view> units;
  // The last --manifest=: where the record of a table's images goes.
  std::optional<std::string_view> manifest;
  // Every --set=, in order: NAME=VALUE, the value a named field takes.
  std::vector<std::string_view> sets;
};

LongOptions ReadLongOptions(int count, const char* const* arguments);

}  // namespace pibgen
