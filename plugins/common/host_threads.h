/* SPDX-License-Identifier: BSD-2-Clause */
// How many threads the editors' faces (frei0r, GStreamer) let one frame
// use: the cores this process may run on, or fewer where the user says so.
#pragma once

#include <cstdint>

// Cores the process may run on (its affinity mask where the system has
// one), at least 1.
int32_t usable_cores();

// The threads for one frame: `asked` when 1 or more; otherwise the value
// of the environment variable ZOLTA_THREADS when it is a whole number from 1
// up; otherwise usable_cores(). At most 64 (the library's limit).
int32_t frame_threads_for(int32_t asked);
