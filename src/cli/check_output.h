#pragma once

#include <string>

#include "check/check_description.h"
#include "cli/output_format.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints what --check found in the description at path:
//   text: each finding as "PATH:LINE: warning: MESSAGE" (or "error:"; without ":LINE" when
//         there is no line to give), then "N warnings, M errors"
//   json: {"version", "file", "findings": [...], "warnings", "errors"}
//   sarif: a SARIF 2.1.0 log with one rule per code and one result per finding
void PrintCheck(const std::string& path, const CheckResult& result, OutputFormat format,
                TextSink& out);

}  // namespace pibgen
