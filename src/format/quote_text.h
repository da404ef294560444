#pragma once

#include <string>
#include <string_view>

namespace pibgen {

// Text from the description made fit for a one-line message: in double quotes, control
// characters and backslashes escaped (\n, \t, \xHH, \\), and cut after 40 bytes with "..."
// so a megabyte value does not flood the report.
std::string QuoteText(std::string_view text);

}  // namespace pibgen
