#pragma once

#include <cstdint>
#include <string>

#include "file/file_system.h"
#include "xml/description_handler.h"

namespace pibgen::xml {

// Why a read ended before the end of the description.
enum class ReadFailure {
  kNone,
  kUnreadable,        // the source could not be read
  kNotWellFormed,     // not XML, or not in an encoding the parser knows
  kExternalEntity,    // a reference to an external entity or DTD, which is never read
  kUndeclaredEntity,  // a reference to an entity the document does not declare
  kTooDeep,           // elements nest deeper than MaxNestingDepth()
  kBeyondBounds,      // entities expand far beyond what the input holds
  kStopped,           // the handler returned false
};

struct ReadResult {
  ReadFailure failure = ReadFailure::kNone;
  uint32_t line = 0;   // where the document went wrong, when known; 0 otherwise
  std::string entity;  // the entity failures: the reference, "&name;" or "%name;"
  uint64_t bytes = 0;  // bytes read from the source
  bool ok() const { return failure == ReadFailure::kNone; }
};

// The deepest the parser lets elements nest.
uint32_t MaxNestingDepth();

// Reads the description from source to its end and hands it to handler in document order,
// holding no more of it than the field child being read. Text that is only white space
// between elements forms no node. Entities are replaced by their text; nothing outside
// source is read. The handler may have been told of fields before a failure is found.
ReadResult ReadDescription(file::SourceFile& source, DescriptionHandler& handler);

}  // namespace pibgen::xml
