// SPDX-License-Identifier: BSD-2-Clause
#include "host_threads.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

namespace {

// The library's most threads for one frame.
constexpr long kMostThreads = 64;

int32_t at_most(long n) {
  return static_cast<int32_t>(n > kMostThreads ? kMostThreads : n);
}

}  // namespace

int32_t usable_cores() {
#if defined(_WIN32)
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
#else
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? at_most(online) : 1;
#endif
}

int32_t frame_threads_for(int32_t asked) {
  if (asked >= 1) return at_most(asked);
  if (const char* text = std::getenv("ZOLTA_THREADS")) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && n >= 1) return at_most(n);
  }
  return at_most(usable_cores());
}
