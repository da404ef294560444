#pragma once

#include <string>

#include "format/text_sink.h"

namespace pibgen {

// Standard output through one large buffer: a description of a million fields prints
// millions of trace lines, and a write call per line would dominate the run. Once a write
// fails the rest is dropped and the output counts as lost; once the reader of a pipe has left
// the rest is dropped too, but nothing counts as lost: the reader chose to stop.
class StdoutSink final : public TextSink {
 public:
  StdoutSink();
  ~StdoutSink() override;
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  void Print(std::string_view text) override;
  bool Flush() override;

 private:
  enum class State { kOpen, kReaderGone, kLost };
  void Write(const char* data, size_t size);
  std::string buffer_;
  State state_ = State::kOpen;
};

}  // namespace pibgen
