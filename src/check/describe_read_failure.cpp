#include "check/describe_read_failure.h"

#include <string>

namespace pibgen {

Finding DescribeReadFailure(const xml::ReadResult& read) {
  std::string message = "not well-formed XML";
  switch (read.failure) {
    case xml::ReadFailure::kNone:
    case xml::ReadFailure::kNotWellFormed:
      break;
    case xml::ReadFailure::kUnreadable:
    case xml::ReadFailure::kStopped:
      message = "cannot read the description";
      break;
    case xml::ReadFailure::kExternalEntity:
      message = read.entity.empty()
                    ? "reference to an external resource, which is never read"
                    : "reference to external entity " + read.entity + ", which is never read";
      break;
    case xml::ReadFailure::kUndeclaredEntity:
      message = "reference to entity " + read.entity + ", which the description does not declare";
      break;
    case xml::ReadFailure::kTooDeep:
      message = "elements nest deeper than the XML parser's limit of " +
                std::to_string(xml::MaxNestingDepth()) + " levels";
      break;
    case xml::ReadFailure::kBeyondBounds:
      message = "entity references expand beyond the XML parser's limit";
      break;
  }
  return {read.line, Severity::kError, message};
}

}  // namespace pibgen
