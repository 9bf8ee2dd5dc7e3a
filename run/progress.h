// The progress line on standard error: frames done and frames per second,
// redrawn a few times a second, shown only when standard error is a terminal.
#pragma once

#include <chrono>

struct Progress {
  bool enabled = false;
  long frames = 0;
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point last_drawn;
};

Progress start_progress();
void count_frame(Progress& progress);
// Draws the final figures and ends the line, if anything was drawn.
void finish_progress(Progress& progress);
