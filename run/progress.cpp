// SPDX-License-Identifier: BSD-2-Clause
#include "progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace {

void draw(const Progress& progress, std::chrono::steady_clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - progress.start).count();
  // Padded, so that a shorter line covers a longer one drawn before it.
  std::fprintf(stderr, "\rzolta-run: %-60s",
               progress_text(progress.frames, progress.total, seconds).c_str());
  std::fflush(stderr);
}

std::string clock_text(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

}  // namespace

std::string progress_text(long frames, long total, double seconds) {
  const double fps = seconds > 0 ? frames / seconds : 0.0;
  char text[160];
  if (total > 0 && frames <= total) {
    const int percent = static_cast<int>(100.0 * frames / total);
    std::snprintf(text, sizeof text, "%ld of %ld frames (%d%%), %.1f fps", frames, total, percent,
                  fps);
    std::string line = text;
    if (fps > 0) line += ", " + clock_text((total - frames) / fps) + " left";
    return line;
  }
  std::snprintf(text, sizeof text, "%ld frames, %.1f fps", frames, fps);
  return text;
}

Progress start_progress() {
  Progress progress;
  progress.enabled = isatty(2) != 0;
  progress.start = progress.last_drawn = std::chrono::steady_clock::now();
  return progress;
}

void set_progress_total(Progress& progress, long total) {
  progress.total = total;
}

void count_frame(Progress& progress) {
  ++progress.frames;
  if (!progress.enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - progress.last_drawn < std::chrono::milliseconds(250)) return;
  progress.last_drawn = now;
  draw(progress, now);
}

void finish_progress(Progress& progress) {
  if (!progress.enabled) return;
  draw(progress, std::chrono::steady_clock::now());
  std::fputc('\n', stderr);
  progress.enabled = false;
}
