// SPDX-License-Identifier: BSD-2-Clause
#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {
bool closed_at_start[3];
}

void guard_standard_streams() {
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed_at_start[fd] = true;
    // The lowest free number is fd itself.
    const int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got >= 0 && got != fd) {
      dup2(got, fd);
      close(got);
    }
  }
}

bool standard_stream_closed(int fd) {
  return fd >= 0 && fd < 3 && closed_at_start[fd];
}
