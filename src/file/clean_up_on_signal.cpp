#include "file/clean_up_on_signal.h"

#include <pthread.h>
#include <unistd.h>
#include <cstring>
#include <iterator>

namespace pibgen::file {
namespace {

// Every signal whose default action ends the process, but those a fault raises (SIGSEGV and
// the like, which belong to debuggers and sanitizers) and SIGKILL, which no handler sees.
constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGUSR1, SIGUSR2,   SIGPIPE,
                            SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
bool installed = false;

// A replacement beside the destination and a scratch file may be named at once.
constexpr int kSlots = 4;
struct Slot {
  volatile std::sig_atomic_t used = 0;
  char path[4096];
};
Slot slots[kSlots];
volatile std::sig_atomic_t empty_fd = -1;

// Only async-signal-safe calls: the signal may arrive in the middle of any write.
extern "C" void CleanUpAndRaise(int signal) {
  // Nothing more can be done if these fail; the results are looked at only to say so.
  for (Slot& slot : slots) {
    if (slot.used && ::unlink(slot.path) != 0) {
    }
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

// Once, for the rest of the run: with nothing registered the handler just ends the process as
// the signal would have.
void Install() {
  if (installed) return;
  struct sigaction action = {};
  action.sa_handler = CleanUpAndRaise;
  sigfillset(&action.sa_mask);
  for (const int signal : kSignals) {
    struct sigaction earlier = {};
    ::sigaction(signal, nullptr, &earlier);
    if (earlier.sa_handler != SIG_IGN) ::sigaction(signal, &action, nullptr);
  }
  installed = true;
}

}  // namespace

SignalsHeld::SignalsHeld() {
  Install();
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : kSignals) sigaddset(&held, signal);
  pthread_sigmask(SIG_BLOCK, &held, &earlier_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &earlier_, nullptr); }

int RemoveOnSignal(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= sizeof slots[0].path) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].used) continue;
    std::memcpy(slots[i].path, path, length + 1);
    slots[i].used = 1;
    return i;
  }
  return -1;
}

void StopRemovingOnSignal(int slot) {
  if (slot >= 0 && slot < kSlots) slots[slot].used = 0;
}

void EmptyOnSignal(int fd) {
  Install();
  empty_fd = fd;
}

void StopEmptyingOnSignal() { empty_fd = -1; }

}  // namespace pibgen::file
