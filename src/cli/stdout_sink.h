#pragma once

#include <string>

#include "format/text_sink.h"

namespace pibgen {

// Standard output through one large buffer: a description of a million fields prints
// millions of trace lines, and a write call per line would dominate the run.
class StdoutSink final : public TextSink {
 public:
  StdoutSink();
  ~StdoutSink() override;
  StdoutSink(const StdoutSink&) = delete;
  StdoutSink& operator=(const StdoutSink&) = delete;

  void Print(std::string_view text) override;
  void Flush();

 private:
  void Write(const char* data, size_t size);
  std::string buffer_;
  bool broken_ = false;
};

}  // namespace pibgen
