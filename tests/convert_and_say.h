#pragma once

#include <string>

#include "convert/read_xml_to_pib_file.h"
#include "engine/catalogue.h"

namespace pibgen::testing {

// A conversion as the command line runs it: on failure, its message follows the trace. True
// when the image is in place.
inline bool ConvertAndSay(const std::string& source, const std::string& destination,
                          file::FileSystem& file_system, TextSink& out) {
  const ConversionOutcome outcome = ReadXMLToPIBFile(source, destination, file_system, out);
  if (!outcome) out.Print(ConversionMessage(outcome.failure, source));
  return static_cast<bool>(outcome);
}

}  // namespace pibgen::testing
