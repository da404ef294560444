#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include "cli/process.h"

namespace pibgen {
namespace {

// Opens /dev/null onto each of descriptors 0, 1 and 2 that is closed: otherwise the
// description or the image would take a free standard descriptor, and the trace written to
// standard output would land in the image. False if one stays closed (no /dev/null).
bool OpenStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) return false;
    // Every lower descriptor is open, so the lowest free one is normally fd itself.
    if (null != fd) {
      const bool moved = ::dup2(null, fd) == fd;
      ::close(null);
      if (!moved) return false;
    }
  }
  return true;
}

}  // namespace

bool PrepareProcess(int argc, char** argv, std::vector<std::string>* arguments, TextSink&) {
  if (!OpenStandardDescriptors()) return false;
  // A reader that stops early (pibgen ... | head) must not kill the conversion halfway: the
  // rest of the output is dropped, and the image is still finished.
  std::signal(SIGPIPE, SIG_IGN);
  // A file-size limit (ulimit -f) makes a write fail, reported as any failed write, rather
  // than ending the process halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  arguments->assign(argv, argv + argc);
  return true;
}

OutputWrite WriteStandardOutput(const char* data, size_t left) {
  while (left > 0) {
    const ssize_t written = ::write(STDOUT_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking descriptor that is full for now: wait until it takes more.
      pollfd ready = {STDOUT_FILENO, POLLOUT, 0};
      if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    // SIGPIPE is ignored, so a pipe whose reader has left answers EPIPE.
    if (written < 0 && errno == EPIPE) return OutputWrite::kReaderGone;
    if (written <= 0) return OutputWrite::kFailed;
    data += written;
    left -= static_cast<size_t>(written);
  }
  return OutputWrite::kWritten;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void WriteStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<size_t>(written));
  }
}

}  // namespace pibgen
