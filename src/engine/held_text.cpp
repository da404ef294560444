#include "engine/held_text.h"

#include <algorithm>
#include <new>
#include <vector>

namespace pibgen {

HeldText::HeldText(std::unique_ptr<file::ImageFile> scratch)
    : scratch_(std::move(scratch)), held_(new char[kMemoryBudget]) {}

void HeldText::Line(std::string_view name, std::string_view text) {
  const size_t length = name.size() + 2 + text.size() + 1;
  if (held_size_ + length > kMemoryBudget) {
    if (!Spill()) return;
    if (length > kMemoryBudget) {
      // A long line goes to the scratch file as it is, rather than through memory.
      for (std::string_view piece : {name, std::string_view("--"), text, std::string_view("\n")}) {
        if (!SpillText(piece)) return;
      }
      return;
    }
  }
  Hold(name);
  Hold("--");
  Hold(text);
  held_[held_size_++] = '\n';
}

void HeldText::Print(std::string_view text) {
  if (held_size_ + text.size() > kMemoryBudget) {
    if (!Spill()) return;
    // Long text goes to the scratch file as it is, rather than through memory.
    if (text.size() > kMemoryBudget) {
      SpillText(text);
      return;
    }
  }
  Hold(text);
}

bool HeldText::SpillText(std::string_view text) {
  if (failed_) return false;
  try {
    failed_ =
        !scratch_ || !scratch_->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  } catch (const std::bad_alloc&) {
    failed_ = true;
  }
  if (!failed_) spilled_ += text.size();
  return !failed_;
}

bool HeldText::Spill() {
  if (!SpillText(std::string_view(held_.get(), held_size_))) return false;
  held_size_ = 0;
  return true;
}

bool HeldText::Publish(TextSink& out) {
  if (failed_) return false;
  if (spilled_ > 0) {
    if (!scratch_->Seek(0)) return false;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(spilled_, kMemoryBudget)));
    uint8_t last = '\n';  // of what has been handed on
    for (uint64_t left = spilled_; left > 0;) {
      const auto take = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      if (!scratch_->Read(block.data(), take)) {
        // The trace stops here; what follows must start on a line of its own.
        if (last != '\n') out.Print("\n");
        return false;
      }
      out.Print(std::string_view(reinterpret_cast<const char*>(block.data()), take));
      last = block[take - 1];
      left -= take;
    }
  }
  out.Print(std::string_view(held_.get(), held_size_));
  return true;
}

}  // namespace pibgen
