#include "convert/read_xml_to_pib_file.h"

#include <memory>
#include <new>

#include "engine/catalogue.h"
#include "engine/failure.h"
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

// Traces every child of every field and renders each field as soon as it is whole. After a
// broken rule nothing more is rendered, but the read goes on: a description that does not
// load is refused as such, whatever rule it broke before.
class Conversion final : public FieldHandler {
 public:
  Conversion(HeldText& trace, PibImageFile* image) : trace_(trace), image_(image) {}

  bool Child(const Field&, std::string_view name, std::string_view text, uint32_t) override {
    if (!broken_) trace_.Line(name, text);
    return !trace_.Failed();
  }
  bool EndField(const Field& field) override {
    if (!broken_ && image_ != nullptr) WriteField(*image_, field.entry, field.kind);
    return true;
  }
  bool Broken(const Failure&) override {
    broken_ = true;
    return true;
  }
  // A conversion's messages number fields without naming them.
  bool WantsAttributes() const override { return false; }

 private:
  HeldText& trace_;
  PibImageFile* image_;  // null when the destination was refused
  bool broken_ = false;
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

bool ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                      file::FileSystem& file_system, TextSink& out) {
  bool read_done = false;
  Failure failure;
  try {
    failure = Convert(source, destination, file_system, out, &read_done);
  } catch (const std::bad_alloc&) {
    // Memory ran out; whatever was made of the image has been dropped on the way out.
    failure = Of(read_done ? FailureKind::kWriteImage : FailureKind::kLoad);
  }
  if (!failure) return true;
  out.Print(ConversionMessage(failure, source));
  return false;
}

}  // namespace pibgen
