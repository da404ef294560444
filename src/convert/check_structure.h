#pragma once

#include <cstdint>
#include <string>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// What a first read of a description found, for the second read to match.
struct DescriptionOutline {
  uint64_t bytes = 0;
  uint32_t fields = 0;
};

// The conversion's first pass: reads the whole description and applies the structure rules,
// so that nothing in it can make the conversion fail once the destination is touched. On
// failure prints one line, "load xml file fail" or the first broken rule and where it is,
// and returns false.
bool CheckStructure(file::SourceFile& source, const std::string& path, TextSink& out,
                    DescriptionOutline* outline);

}  // namespace pibgen
