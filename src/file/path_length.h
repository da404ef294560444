#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pibgen::file {

// The longest path, in characters, that a switch or the image may have: every system the
// tool runs on takes paths this long, so descriptions and scripts shared between systems
// keep working.
inline constexpr size_t kMaxPathCharacters = 259;

// Characters in a UTF-8 path (code points; a byte that is not valid UTF-8 counts as one).
size_t CountPathCharacters(std::string_view path);

// The absolute form of path, made lexically from the working directory: "." and empty
// components dropped, ".." removing the component before it. Symbolic links are not followed.
std::string AbsolutePathLexically(std::string_view path, std::string_view working_directory);

}  // namespace pibgen::file
