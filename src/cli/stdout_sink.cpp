#include "cli/stdout_sink.h"

#include <unistd.h>
#include <cerrno>

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

void StdoutSink::Write(const char* data, size_t left) {
  while (left > 0) {
    ssize_t written = ::write(STDOUT_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;  // a closed or full standard output must not stop the conversion
    data += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace pibgen
