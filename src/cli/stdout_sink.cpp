#include "cli/stdout_sink.h"

#include <poll.h>
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
    const ssize_t written = ::write(STDOUT_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking descriptor that is full for now: wait until it takes more.
      pollfd ready = {STDOUT_FILENO, POLLOUT, 0};
      if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    if (written <= 0) break;  // a closed or broken standard output must not stop the conversion
    data += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace pibgen
