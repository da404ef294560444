#include "convert/read_xml_to_pib_file.h"

#include <memory>
#include <new>

#include "engine/failure.h"
#include "engine/field_renderer.h"
#include "engine/held_text.h"
#include "engine/pib_image_file.h"
#include "engine/read_fields.h"
#include "engine/write_checksum_and_close.h"

namespace pibgen {
namespace {

Failure Of(FailureKind kind) {
  Failure failure;
  failure.kind = kind;
  return failure;
}

// Traces every child of every field and renders each field as soon as it is whole; after a
// broken rule, neither.
class Conversion final : public FieldRenderer {
 public:
  Conversion(HeldText& trace, PibImageFile* image) : FieldRenderer(image), trace_(trace) {}

  bool Child(const Field&, std::string_view name, std::string_view text, uint32_t) override {
    if (!broken()) trace_.Line(name, text);
    return !trace_.Failed();
  }

 private:
  HeldText& trace_;
};

// Read, render, then publish the trace and the image, or drop them.
Failure Convert(const std::string& source, const std::string& destination,
                file::FileSystem& file_system, TextSink& out, bool* read_done) {
  file::FileIdentity identity;
  const std::unique_ptr<file::SourceFile> input = file_system.OpenSource(source, &identity);
  // The trace must never be written into the description, nor the image over it or over the
  // trace.
  const file::FileIdentity standard_output = file_system.StandardOutput();
  if (!input || identity.SameFile(standard_output)) return Of(FailureKind::kLoad);
  PibImageFile image(file_system);
  const file::FileIdentity keep[] = {identity, standard_output};
  const bool opened = image.Open(destination, keep);

  HeldText trace(file_system.CreateScratchFile());
  Conversion conversion(trace, opened ? &image : nullptr);
  Failure read = ReadFields(*input, conversion);
  // A description written to while it was read may have given part old, part new text.
  if (!read && input->Changed()) read = Of(FailureKind::kLoad);
  *read_done = true;
  if (read.kind == FailureKind::kStopped) return Of(FailureKind::kWriteImage);  // trace not held
  if (read) return read;
  if (!opened) return Of(FailureKind::kCreateImage);
  if (!trace.Publish(out)) return Of(FailureKind::kReadImage);
  // The trace reaches standard output before the image is put in place, so a trace that is
  // lost leaves the destination as it was.
  if (!out.Flush()) return Of(FailureKind::kOutputLost);
  if (!WriteChecksumAndClose(image)) {
    return Of(image.Fault() == FailureKind::kNone ? FailureKind::kWriteImage : image.Fault());
  }
  return {};
}

}  // namespace

ConversionOutcome ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                                   file::FileSystem& file_system, TextSink& out) {
  bool read_done = false;
  Failure failure;
  try {
    failure = Convert(source, destination, file_system, out, &read_done);
  } catch (const std::bad_alloc&) {
    // Memory ran out; whatever was made of the image has been dropped on the way out.
    failure = Of(read_done ? FailureKind::kWriteImage : FailureKind::kLoad);
  }
  return {failure};
}

}  // namespace pibgen
