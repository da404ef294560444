#pragma once

namespace pibgen {

// Opens /dev/null onto each of descriptors 0, 1 and 2 that is closed. Run before anything else
// is opened: otherwise the description or the image would take a free standard descriptor,
// and the trace written to standard output would land in the image. Returns false if one
// stays closed (no /dev/null): the program must not go on then.
bool OpenStandardDescriptors();

}  // namespace pibgen
