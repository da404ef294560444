#pragma once

#include <optional>
#include <string_view>

namespace pibgen {

// For type text that is not a known name but looks meant as one, the name it most likely
// means: the closest known name within two edits (insertions, deletions, substitutions),
// letter case not counted. Nothing for a known name or for text too far from all of them.
std::optional<std::string_view> NearestTypeName(std::string_view type);

}  // namespace pibgen
