#pragma once

namespace pibgen {

// How --check, --verify and --decode print their results: as text for a person (each mode's
// lines), as one JSON document, or (--check only) as a SARIF log.
enum class OutputFormat { kText, kJson, kSarif };

}  // namespace pibgen
