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

bool StdoutSink::Flush() {
  Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return state_ != State::kLost;
}

void StdoutSink::Write(const char* data, size_t size) {
  // Output that cannot be written must not stop the conversion: the rest is dropped, and the
  // state says whether that loses anything.
  if (state_ != State::kOpen || size == 0) return;
  switch (WriteStandardOutput(data, size)) {
    case OutputWrite::kWritten:
      break;
    case OutputWrite::kReaderGone:
      state_ = State::kReaderGone;
      break;
    case OutputWrite::kFailed:
      state_ = State::kLost;
      break;
  }
}

}  // namespace pibgen
