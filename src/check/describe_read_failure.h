#pragma once

#include "check/finding.h"
#include "xml/read_description.h"

namespace pibgen {

// The error finding for a description that could not be read: why, and on which line when
// known. The conversion only says that it could not.
Finding DescribeReadFailure(const xml::ReadResult& read);

}  // namespace pibgen
