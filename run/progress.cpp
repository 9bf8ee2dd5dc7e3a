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
  const double fps = seconds > 0 ? progress.frames / seconds : 0.0;
  std::fprintf(stderr, "\rzolta-run: %ld frames, %.1f fps ", progress.frames, fps);
  std::fflush(stderr);
}

}  // namespace

Progress start_progress() {
  Progress progress;
  progress.enabled = isatty(2) != 0;
  progress.start = progress.last_drawn = std::chrono::steady_clock::now();
  return progress;
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
