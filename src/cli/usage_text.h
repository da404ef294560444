#pragma once

#include <string_view>

namespace pibgen {

// What "--help" prints: the command line, the field types, the checksum rule and the exit
// statuses, in under 40 lines of at most 79 columns. The manual page has the rest.
std::string_view HelpText();

// What "--version" prints: "pibgen X.Y.Z" and a line feed.
std::string_view VersionText();

}  // namespace pibgen
