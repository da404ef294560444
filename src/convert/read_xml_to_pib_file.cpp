#include "convert/read_xml_to_pib_file.h"

#include <memory>
#include <new>

#include "engine/failure.h"
#include "engine/field_renderer.h"
#include "engine/held_text.h"
#include "engine/named_fields.h"
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
// broken rule, neither. A field that --set gives a value shows and encodes that value.
class Conversion final : public FieldRenderer {
 public:
  Conversion(HeldText& trace, PibImageFile* image, std::span<const SetValue> sets)
      : FieldRenderer(image), trace_(trace), sets_(sets) {
    for (const SetValue& set : sets) named_.Want(set.name);
  }

  bool BeginField(const Field& field, std::string_view, std::span<const xml::Attribute>,
                  std::span<const xml::Namespace>) override {
    set_ = field.named ? named_.Find(field.name) : NamedFields::kNone;
    return true;
  }
  bool Child(const Field&, std::string_view name, std::string_view text, uint32_t) override {
    if (!broken())
      trace_.Line(name, set_ != NamedFields::kNone && name == "value" ? Value() : text);
    return !trace_.Failed();
  }
  bool EndField(const Field& field) override {
    if (set_ == NamedFields::kNone) return FieldRenderer::EndField(field);
    named_.Saw(field);
    if (field.value_line == 0 && !broken()) trace_.Line("value", Value());
    Field given = field;
    given.entry.value = Value();
    return FieldRenderer::EndField(given);
  }
  bool WantsAttributes() const override { return !sets_.empty(); }

  // Why the values given are refused, once the description is read: a name that is not one
  // field's, a repeated one, a value that would not encode as it reads.
  std::vector<Finding> Refusals() const {
    std::vector<Finding> refusals;
    std::vector<bool> seen(named_.Size(), false);
    for (const SetValue& set : sets_) {
      const size_t index = named_.Find(set.name);
      Finding finding;
      if (seen[index]) {
        finding.code = Code::kSetRepeated;
        finding.values = {set.name};
        refusals.push_back(std::move(finding));
      } else if (named_.Problem(index, false, &finding)) {
        refusals.push_back(std::move(finding));
      } else {
        CheckSetValue(named_.First(index), set.value, {"--set=" + set.name, {}, 0}, refusals);
      }
      seen[index] = true;
    }
    return refusals;
  }

 private:
  // The value the field being read takes (a name given twice is refused).
  const std::string& Value() const {
    for (const SetValue& set : sets_) {
      if (named_.Find(set.name) == set_) return set.value;
    }
    return sets_.front().value;
  }

  HeldText& trace_;
  std::span<const SetValue> sets_;
  NamedFields named_;
  size_t set_ = NamedFields::kNone;  // the name of the field being read, if a value is set
};

// Read, render, then publish the trace and the image, or drop them.
Failure Convert(const std::string& source, const std::string& destination,
                file::FileSystem& file_system, TextSink& out, std::span<const SetValue> sets,
                std::vector<Finding>& refusals, bool* read_done) {
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
  Conversion conversion(trace, opened ? &image : nullptr, sets);
  Failure read = ReadFields(*input, conversion);
  // A description written to while it was read may have given part old, part new text.
  if (!read && input->Changed()) read = Of(FailureKind::kLoad);
  *read_done = true;
  if (read.kind == FailureKind::kStopped) return Of(FailureKind::kWriteImage);  // trace not held
  if (read) return read;
  refusals = conversion.Refusals();
  if (!refusals.empty()) return Of(FailureKind::kValueRefused);
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
                                   file::FileSystem& file_system, TextSink& out,
                                   std::span<const SetValue> sets) {
  bool read_done = false;
  Failure failure;
  std::vector<Finding> refusals;
  try {
    failure = Convert(source, destination, file_system, out, sets, refusals, &read_done);
  } catch (const std::bad_alloc&) {
    // Memory ran out; whatever was made of the image has been dropped on the way out.
    failure = Of(read_done ? FailureKind::kWriteImage : FailureKind::kLoad);
  }
  return {failure, std::move(refusals)};
}

}  // namespace pibgen
