#pragma once

#include <span>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/failure.h"
#include "engine/set_value.h"
#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// How a conversion ended: the image in place, or the first thing that failed, for the
// command line to word (ConversionMessage).
struct ConversionOutcome {
  Failure failure;
  // For kValueRefused: why the values --set gives were refused.
  std::vector<Finding> refusals;
  explicit operator bool() const { return !failure; }
};

// Converts the description at source into the image at destination. The description is read
// once, its fields checked and rendered as they arrive; the trace and the image are held until
// the read has ended good, then the trace is printed to out (and flushed: a trace out cannot hand
// on fails the conversion) and the image put in the destination's place whole. On failure the
// destination is left as it was (a destination written in place is emptied if writing it fails
// midway) and nothing more is printed: the outcome says why. Each of sets gives its field's
// value (the trace shows it); a name that is not one field's, or a value that would not encode
// as it reads, refuses the conversion.
ConversionOutcome ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                                   file::FileSystem& file_system, TextSink& out,
                                   std::span<const SetValue> sets = {});

}  // namespace pibgen
