#include "check/describe_load_error.h"

namespace pibgen {

std::string DescribeLoadError(const xml::LoadError& error) {
  switch (error.failure) {
    case xml::LoadFailure::kNone:
    case xml::LoadFailure::kSyntax:
      break;
    case xml::LoadFailure::kExternalEntity:
      if (error.entity.empty()) return "reference to an external resource, which is never read";
      return "reference to external entity " + error.entity + ", which is never read";
    case xml::LoadFailure::kUndeclaredEntity:
      return "reference to entity " + error.entity + ", which the description does not declare";
    case xml::LoadFailure::kNestingDepth:
      return "elements nest deeper than the XML parser's limit of " +
             std::to_string(xml::kMaxNestingDepth) + " levels";
    case xml::LoadFailure::kEntityExpansion:
      return "entity references expand beyond the XML parser's limit";
    case xml::LoadFailure::kReader:
      return "the description cannot be loaded";
  }
  return "not well-formed XML";
}

}  // namespace pibgen
