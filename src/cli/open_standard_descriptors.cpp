#include "cli/open_standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace pibgen {

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

}  // namespace pibgen
