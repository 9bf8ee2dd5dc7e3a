// SPDX-License-Identifier: BSD-2-Clause
#include "stream_windows.h"

#include <atomic>

#include "noise_level.h"
#include "pipeline.h"
#include "stream_denoiser.h"
#include "window_memory.h"

long mirror_into(long i, long first, long last) {
  if (last <= first) return first;
  const long period = 2 * (last - first);
  long k = (i - first) % period;
  if (k < 0) k += period;
  return first + (k > last - first ? period - k : k);
}

// The frames read for the windows of the frames being worked on: input i in
// inputs[i % size]. An input is overwritten only when no frame in flight
// can reach it (size: the pipeline's slots and 2R more).
namespace {

struct InputRing {
  struct Input {
    StreamItem item;
    bool ok = false;
    std::string message;  // why the frame could not be read or bound
  };
  std::vector<Input> inputs;
  std::atomic<long> total{-1};  // frames in the input, once it ended
  Input& at(long i) { return inputs[static_cast<size_t>(i) % inputs.size()]; }
};

// The plan for the stream whose first frame is read ahead (read here if it
// is not yet).
bool plan_for_stream(const RunOptions& options, FrameFormat& format, ByteReader& input,
                     std::deque<StreamItem>& ahead, int threads, WindowPlan& plan,
                     std::string& error) {
  plan = plan_windows(threads, options.temporal, 0, 0, 0);
  if (ahead.empty() && !read_ahead(format, input, 1, ahead, error)) return false;
  if (ahead.empty()) return true;
  StreamItem& first = ahead.front();
  std::string message;
  if (!format.bind(first, message)) return true;  // refused in its turn, with its number
  const size_t frame_bytes = first.y4m.data.size() + first.picture.samples.size();
  plan = plan_windows(threads, options.temporal, frame_bytes,
                      temporal_area_bytes(first.stream, options.temporal),
                      static_cast<size_t>(options.memory_mib) << 20);
  return true;
}

}  // namespace

bool denoise_windows(const RunOptions& options, const zolta_settings& settings, FrameFormat& format,
                     ByteReader& input, std::deque<StreamItem>& ahead, long long input_bytes,
                     int threads, std::FILE* out, Progress& progress, std::string& error) {
  const int radius = options.temporal;
  WindowPlan plan;
  if (!plan_for_stream(options, format, input, ahead, threads, plan, error)) return false;
  std::vector<StreamItem> items(static_cast<size_t>(plan.slots));
  StreamDenoiser denoiser(plan.workers, 0);
  InputRing ring;
  ring.inputs.resize(items.size() + 2 * static_cast<size_t>(radius));
  // Reads input i into the ring, unless the input has ended.
  auto read_input = [&](long i) {
    if (ring.total.load() >= 0) return;
    InputRing::Input& in = ring.at(i);
    std::string message;
    ReadResult got = ReadResult::Frame;
    if (!ahead.empty()) {
      std::swap(in.item, ahead.front());
      ahead.pop_front();
    } else {
      got = format.read(input, in.item, message);
    }
    if (got == ReadResult::End) {
      ring.total = i;
      return;
    }
    in.ok = got == ReadResult::Frame && format.bind(in.item, message);
    if (in.ok) {
      zolta_error e{};
      if (zolta_stream_check(&in.item.stream, &e) != ZOLTA_OK) {
        message = e.message;
        in.ok = false;
      }
    }
    if (!in.ok) {
      in.message = message + " (" + frame_label(format, i) + ")";
      ring.total = i + 1;  // nothing after a frame that could not be read
    }
    if (got == ReadResult::Frame && i == 0 && input_bytes >= 0) {
      set_progress_total(progress, format.frames_in(input_bytes, in.item));
    }
  };
  PipelineStages stages;
  stages.threads = plan.workers;
  stages.slots = plan.slots;
  stages.read = [&](int, long n, std::string&) {
    if (n == 0) {
      for (long i = 0; i < radius; ++i) read_input(i);
    }
    read_input(n + radius);
    const long total = ring.total.load();
    return total >= 0 && n >= total ? ReadResult::End : ReadResult::Frame;
  };
  stages.work = [&](int slot, int, long n, std::string& message) {
    InputRing::Input& centre = ring.at(n);
    if (!centre.ok) {
      message = centre.message;
      return false;
    }
    // The run of frames of the centre's stream within the window.
    const long total = ring.total.load();
    auto usable = [&](long i) {
      if (i < 0 || (total >= 0 && i >= total)) return false;
      const InputRing::Input& in = ring.at(i);
      return in.ok && same_stream(in.item.stream, centre.item.stream);
    };
    long first = n, last = n;
    while (first > n - radius && usable(first - 1)) --first;
    while (last < n + radius && usable(last + 1)) ++last;
    // Numbered by their place in the input, so that the denoiser converts
    // each frame once for the windows it is in.
    zolta_frame planes[5];
    const zolta_frame* window[5];
    for (long k = -radius; k <= radius; ++k) {
      const long at = mirror_into(n + k, first, last);
      planes[k + radius] = ring.at(at).item.frame;
      planes[k + radius].number = static_cast<intptr_t>(at + 1);
      window[k + radius] = &planes[k + radius];
    }
    StreamItem& result = items[slot];
    result.y4m = centre.item.y4m;
    result.picture = centre.item.picture;
    const bool ok = format.bind(result, message) &&
                    denoiser.process_window(settings, radius, centre.item.stream, window,
                                            result.frame, 0, message);
    if (!ok) {
      message += " (" + frame_label(format, n) + ")";
      return false;
    }
    return true;
  };
  stages.write = [&](int slot, long, std::string& message) {
    if (!format.write(out, items[slot], message)) return false;
    count_frame(progress);
    return true;
  };
  return run_pipeline(stages, error);
}
