#pragma once

namespace pibgen::file {

// While a file of ours is half made, a terminating signal must not leave it behind looking
// made. Until StopCleaningUpOnSignal, such a signal first removes the name `path` (a temporary
// file beside the destination) or empties the open file `fd` (an image written in place), then
// ends the process as the signal would have, so the exit status still tells which signal it
// was. Signals the process ignores stay ignored; SIGKILL cannot be caught. One file at a time;
// path is copied.
void RemoveOnSignal(const char* path);
void EmptyOnSignal(int fd);
void StopCleaningUpOnSignal();

}  // namespace pibgen::file
