#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Text held until it is known to be worth printing, such as a conversion's trace until the
// description has been read whole and found good: in memory up to kMemoryBudget, the rest
// spilled to a scratch file, so that text of any size is held in the same memory. Published
// whole, or dropped with the scratch file.
class HeldText final : public TextSink {
 public:
  static constexpr size_t kMemoryBudget = size_t{64} << 10;

  // scratch may be null (none could be made): then only what fits in memory can be held.
  explicit HeldText(std::unique_ptr<file::ImageFile> scratch);

  // The line "name--text" of a field's child.
  void Line(std::string_view name, std::string_view text);
  // Any text.
  void Print(std::string_view text) override;

  // Whether something could not be held: the scratch file was missing or a write to it failed.
  bool Failed() const { return failed_; }
  // Hands everything held to out, in order. False if what was spilled cannot be read back:
  // the trace then ends early, with a whole line.
  bool Publish(TextSink& out);

 private:
  // Moves what memory holds to the scratch file.
  bool Spill();
  bool SpillText(std::string_view text);
  void Hold(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(held_.get() + held_size_, text.data(), text.size());
    held_size_ += text.size();
  }

  std::unique_ptr<file::ImageFile> scratch_;
  std::unique_ptr<char[]> held_;  // kMemoryBudget bytes, the first held_size_ of them held
  size_t held_size_ = 0;
  uint64_t spilled_ = 0;
  bool failed_ = false;
};

}  // namespace pibgen
