#pragma once

namespace pibgen::file {

// While an image is being written, SIGINT, SIGTERM and SIGHUP first empty it and then end the
// process as the signal would have, so the exit status still tells which signal it was: what
// a killed conversion leaves must not look like a finished image. A signal the process
// ignores stays ignored. One image at a time: fd is the open image, which must be a regular
// file.
void EmptyImageOnSignal(int fd);
// Gives the signals back their earlier handling, if fd is the image they empty.
void StopEmptyingImageOnSignal(int fd);

}  // namespace pibgen::file
