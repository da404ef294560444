/* The least a program writing many small files must spend: COUNT files of SIZE bytes in
 * FOLDER, each opened, written once and closed. Per-unit images are measured against it.
 *
 *     plain_writer COUNT SIZE FOLDER
 */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: plain_writer COUNT SIZE FOLDER\n");
    return 2;
  }
  const long count = atol(argv[1]);
  const size_t size = (size_t)atol(argv[2]);
  char* bytes = calloc(size ? size : 1, 1);
  char path[4096];
  for (long i = 0; i < count; ++i) {
    memcpy(bytes, &i, size < sizeof i ? size : sizeof i);
    snprintf(path, sizeof path, "%s/unit-%ld.bin", argv[3], i + 1);
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || write(fd, bytes, size) != (ssize_t)size || close(fd) != 0) {
      perror(path);
      return 1;
    }
  }
  free(bytes);
  return 0;
}
