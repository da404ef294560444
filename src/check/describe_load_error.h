#pragma once

#include <string>

#include "xml/libxml_sax_parser.h"

namespace pibgen {

// Says why a description could not be loaded, for --check and a refused layout; the
// conversion only says that it could not.
std::string DescribeLoadError(const xml::LoadError& error);

}  // namespace pibgen
