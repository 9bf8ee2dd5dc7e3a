/* SPDX-License-Identifier: BSD-2-Clause */
// The memory of zolta-run's temporal mode (--temporal R) within --memory:
// the denoiser's working areas and the frames held for the windows.
#pragma once

#include <cstddef>

#include "zolta.h"

// What one working area of a denoiser with radius R takes for frames of
// `stream`: 2R + 4 sets of float planes of the stream's plane sizes with
// their margins (the centre frame, the 2R + 1 of the window, a spare and the
// temporal step's counts), its rows and the neighbours' block matches.
size_t temporal_area_bytes(const zolta_stream& stream, int radius);

// How many frames a temporal run works on at once: `workers` working areas
// (and threads), `slots` output frames, with slots + 2R input frames read
// for the windows.
struct WindowPlan {
  int workers = 1;
  int slots = 3;
};

// The most workers, up to `threads`, whose working areas (`area_bytes` each)
// and held frames (`frame_bytes` each, inputs and outputs) fit in `budget`
// bytes (0: no bound). One worker always goes: a budget too small even for
// that works on one frame at a time, as a frame larger than the budget does
// without --temporal.
WindowPlan plan_windows(int threads, int radius, size_t frame_bytes, size_t area_bytes,
                        size_t budget);

// The bytes such a plan holds.
size_t window_plan_bytes(const WindowPlan& plan, int radius, size_t frame_bytes,
                         size_t area_bytes);
