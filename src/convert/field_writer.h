#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/field_entry_collector.h"
#include "convert/pib_image_file.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/text_sink.h"
#include "xml/read_description.h"

namespace pibgen {

// The conversion's second pass: the trace line of every field child and the encoding of every
// field, in document order. Until Release the trace and the image are held in memory, so this
// pass can run while the first is still checking the description; once they would outgrow
// kHeldBudget it releases them itself. A field the first pass would refuse stops the read.
class FieldWriter final : public xml::DescriptionHandler, private TextSink {
 public:
  static constexpr uint64_t kHeldBudget = uint64_t{20} << 20;

  // Waits for the first pass and opens the image; null, having said why, if either failed.
  using ImageOpener = std::function<PibImageFile*()>;
  FieldWriter(TextSink& out, ImageOpener open_image)
      : out_(out), open_image_(std::move(open_image)) {}

  // Hands on what is held and writes straight through from then on. False if the image was
  // not opened: nothing is written then.
  bool Release();
  bool Holding() const { return holding_; }
  uint32_t fields() const { return fields_; }

  bool Root(std::string_view, std::span<const xml::Attribute>, std::span<const xml::Namespace>,
            uint32_t) override {
    return true;
  }
  bool BeginField(uint32_t, std::string_view, std::span<const xml::Attribute>,
                  std::span<const xml::Namespace>, uint32_t) override {
    collector_.Begin();
    return true;
  }
  bool FieldChild(xml::NodeKind kind, std::string_view name, std::string_view text,
                  uint32_t line) override;
  bool EndField() override;
  bool OtherRootChild(uint32_t, xml::NodeKind, uint32_t) override { return false; }

 private:
  void Print(std::string_view text) override {
    // Room for the whole budget at once: growing by doubling would copy it and hold it twice.
    if (held_trace_.empty()) held_trace_.reserve(kHeldBudget);
    held_trace_.append(text);
  }
  // Whether `more` bytes can still be held, or else the release went well.
  bool HoldOrRelease(uint64_t more);

  TextSink& out_;
  ImageOpener open_image_;
  PibImageFile* image_ = nullptr;
  bool holding_ = true;
  std::string held_trace_;
  FieldBytes held_image_;
  FieldEntryCollector collector_;
  uint32_t fields_ = 0;
};

}  // namespace pibgen
