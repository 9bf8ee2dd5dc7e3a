/* SPDX-License-Identifier: BSD-2-Clause */
// The progress line on standard error: frames done and frames per second,
// and the share done and time left when the number of frames is known;
// redrawn a few times a second, shown only when standard error is a terminal.
#pragma once

#include <chrono>
#include <string>

struct Progress {
  bool enabled = false;
  long frames = 0;
  long total = -1;  // frames in the whole input, -1 when not known
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point last_drawn;
};

Progress start_progress();
// The number of frames expected, when the input's size tells it.
void set_progress_total(Progress& progress, long total);
void count_frame(Progress& progress);
// Draws the final figures and ends the line, if anything was drawn.
void finish_progress(Progress& progress);

// The text of the line: "120 frames, 31.2 fps" or
// "120 of 500 frames (24%), 31.2 fps, 0:12 left".
std::string progress_text(long frames, long total, double seconds);
