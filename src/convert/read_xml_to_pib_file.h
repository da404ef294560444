#pragma once

#include <string>

#include "engine/failure.h"
#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// How a conversion ended: the image in place, or the first thing that failed, for the
// command line to word (ConversionMessage).
struct ConversionOutcome {
  Failure failure;
  explicit operator bool() const { return !failure; }
};

// Converts the description at source into the image at destination. The description is read
// once, its fields checked and rendered as they arrive; the trace and the image are held until
// the read has ended good, then the trace is printed to out (and flushed: a trace out cannot hand
// on fails the conversion) and the image put in the destination's place whole. On failure the
// destination is left as it was (a destination written in place is emptied if writing it fails
// midway) and nothing more is printed: the outcome says why.
ConversionOutcome ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                                   file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
