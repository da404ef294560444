#include "file/clean_up_on_signal.h"

#include <unistd.h>
#include <csignal>
#include <cstring>
#include <iterator>

namespace pibgen::file {
namespace {

// Every signal whose default action ends the process, but those a fault raises (SIGSEGV and
// the like, which belong to debuggers and sanitizers) and SIGKILL, which no handler sees.
constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGUSR1, SIGUSR2,   SIGPIPE,
                            SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
struct sigaction earlier[std::size(kSignals)];
bool installed = false;

volatile std::sig_atomic_t empty_fd = -1;
volatile std::sig_atomic_t remove_path = 0;  // whether path_to_remove holds a path
char path_to_remove[4096];

// Only async-signal-safe calls: the signal may arrive in the middle of any write.
extern "C" void CleanUpAndRaise(int signal) {
  // Nothing more can be done if these fail; the results are looked at only to say so.
  if (remove_path && ::unlink(path_to_remove) != 0) {
  }
  if (empty_fd >= 0 && ::ftruncate(empty_fd, 0) != 0) {
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  // Delivered, with its default action, as soon as this handler returns.
  ::raise(signal);
}

void Install() {
  if (installed) return;
  struct sigaction action = {};
  action.sa_handler = CleanUpAndRaise;
  sigfillset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], nullptr, &earlier[i]);
    if (earlier[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
  }
  installed = true;
}

}  // namespace

void RemoveOnSignal(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= sizeof path_to_remove) return;
  remove_path = 0;
  std::memcpy(path_to_remove, path, length + 1);
  remove_path = 1;
  Install();
}

void EmptyOnSignal(int fd) {
  empty_fd = fd;
  Install();
}

void StopCleaningUpOnSignal() {
  if (!installed) return;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &earlier[i], nullptr);
  installed = false;
  remove_path = 0;
  empty_fd = -1;
}

}  // namespace pibgen::file
