#pragma once

#include <csignal>

namespace pibgen::file {

// While a file of ours is half made, a terminating signal must not leave it behind looking
// made. A signal caught while names are registered first removes them (temporary files) and
// empties the registered open file (an image written in place), then ends the process as the
// signal would have, so the exit status still tells which signal it was. Signals the process
// ignores stay ignored; SIGKILL cannot be caught.

// Blocks the terminating signals for its lifetime, the handlers in place first: a file created
// and registered under it cannot be left behind by a signal arriving between the two, which is
// delivered once the block ends.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t earlier_;
};

// Registers path (copied) for removal; returns its slot, -1 if it cannot be held. Call under
// SignalsHeld.
int RemoveOnSignal(const char* path);
void StopRemovingOnSignal(int slot);
// One open file at a time is emptied.
void EmptyOnSignal(int fd);
void StopEmptyingOnSignal();

}  // namespace pibgen::file
