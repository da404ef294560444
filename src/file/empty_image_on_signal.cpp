#include "file/empty_image_on_signal.h"

#include <unistd.h>
#include <csignal>
#include <iterator>

namespace pibgen::file {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t image_fd = -1;
struct sigaction earlier[std::size(kSignals)];
bool installed = false;

// Only async-signal-safe calls: the signal may arrive in the middle of any write.
extern "C" void EmptyImageAndRaise(int signal) {
  const int fd = image_fd;
  // Nothing more can be done if it fails; the result is looked at only to say so.
  if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  // Delivered, with its default action, as soon as this handler returns.
  ::raise(signal);
}

}  // namespace

void EmptyImageOnSignal(int fd) {
  image_fd = fd;
  if (installed) return;
  struct sigaction action = {};
  action.sa_handler = EmptyImageAndRaise;
  sigfillset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], nullptr, &earlier[i]);
    if (earlier[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
  }
  installed = true;
}

void StopEmptyingImageOnSignal(int fd) {
  if (!installed || image_fd != fd) return;
  image_fd = -1;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &earlier[i], nullptr);
  installed = false;
}

}  // namespace pibgen::file
