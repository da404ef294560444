#pragma once

#include <optional>

#include "file/file_system.h"
#include "file/text_sink.h"

namespace pibgen {

// Looks for "--check=DESCRIPTION" and "--verify=IMAGE" among arguments 1 to count - 1 (the
// path is everything after '='; the last such argument wins). When there is one, runs that
// mode instead of a conversion and returns its exit status: 0 when the description has
// nothing to report or the image's checksum holds, 1 otherwise. Returns nothing when neither
// is asked for, and the conversion runs as usual.
std::optional<int> RunCheckOrVerify(int count, const char* const* arguments,
                                    file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
