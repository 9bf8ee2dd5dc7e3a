// SPDX-License-Identifier: BSD-2-Clause
#include "program_directory.h"

#include <limits.h>
#include <unistd.h>

std::string program_directory() {
  char buffer[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return std::string();
  const std::string path(buffer, static_cast<size_t>(n));
  const size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}
