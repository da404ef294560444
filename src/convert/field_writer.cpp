#include "convert/field_writer.h"

#include "convert/structure_rules.h"

namespace pibgen {

bool FieldWriter::Release() {
  holding_ = false;
  image_ = open_image_();
  if (image_ == nullptr) return false;
  if (!held_trace_.empty()) out_.Print(held_trace_);
  if (!held_image_.bytes.empty()) image_->Write(held_image_.bytes.data(), held_image_.bytes.size());
  if (held_image_.zeros > 0) image_->WriteZeros(held_image_.zeros);
  std::string().swap(held_trace_);
  held_image_ = FieldBytes();
  return true;
}

bool FieldWriter::HoldOrRelease(uint64_t more) {
  const uint64_t held = held_trace_.size() + held_image_.bytes.size() + held_image_.zeros;
  return (held <= kHeldBudget && more <= kHeldBudget - held) || Release();
}

bool FieldWriter::FieldChild(xml::NodeKind, std::string_view name, std::string_view text,
                             uint32_t) {
  if (holding_ && !HoldOrRelease(name.size() + text.size() + 3)) return false;
  collector_.Add(name, text, holding_ ? static_cast<TextSink*>(this) : &out_);
  return true;
}

bool FieldWriter::EndField() {
  const FieldEntry& entry = collector_.Entry();
  if (HasNegativeSize(entry)) return false;
  if (holding_ && !HoldOrRelease(FieldLength(entry))) return false;
  if (holding_) {
    WriteField(held_image_, entry);
  } else {
    WriteField(*image_, entry);
  }
  ++fields_;
  return true;
}

}  // namespace pibgen
