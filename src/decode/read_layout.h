#pragma once

#include <optional>
#include <string>

#include "decode/layout_refusal.h"
#include "file/file_system.h"
#include "xml/read_description.h"

namespace pibgen {

// Reads the description at path and hands it to handler in document order, to its end or
// until the handler stops the read. Returns why it could not be read ("cannot read the
// description", "not well-formed XML", ...), or nothing.
std::optional<LayoutRefusal> ReadLayout(const std::string& path, file::FileSystem& file_system,
                                        xml::DescriptionHandler& handler);

}  // namespace pibgen
