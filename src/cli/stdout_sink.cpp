#include "cli/stdout_sink.h"

#include "cli/process.h"

namespace pibgen {
namespace {
constexpr size_t kFlushThreshold = 1 << 16;
}

StdoutSink::StdoutSink() { buffer_.reserve(kFlushThreshold * 2); }

StdoutSink::~StdoutSink() { Flush(); }

void StdoutSink::Print(std::string_view text) {
  if (text.size() >= kFlushThreshold) {
    // A long text goes out as it is, not through the buffer.
    Flush();
    Write(text.data(), text.size());
    return;
  }
  buffer_.append(text);
  if (buffer_.size() >= kFlushThreshold) Flush();
}

void StdoutSink::Flush() {
  Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void StdoutSink::Write(const char* data, size_t size) {
  // A closed or broken standard output must not stop the conversion: the rest is dropped.
  if (!broken_ && !WriteStandardOutput(data, size)) broken_ = true;
}

}  // namespace pibgen
