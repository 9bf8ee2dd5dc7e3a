// SPDX-License-Identifier: BSD-2-Clause
#include "denoise_stream.h"

#include <sys/stat.h>

#include <deque>
#include <memory>
#include <vector>

#include "frame_formats.h"
#include "noise_level.h"
#include "pipeline.h"
#include "stream_denoiser.h"
#include "stream_windows.h"

#ifdef __linux__
#include <sched.h>
#endif
#include <thread>

namespace {

long long regular_file_size(ByteReader& input) {
  struct stat st;
  if (!input.file || fstat(fileno(input.file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

// The noise that measured settings follow: of the input's first frames, read
// ahead into `ahead`, or of those of --noise-from, which must be frames of
// the input's kind (one frame of the input is read ahead to tell), or the
// --profile's, for the input's family.
bool measure_for_settings(const RunOptions& options, FrameFormat& format, ByteReader& input,
                          std::deque<StreamItem>& ahead, NoiseEstimate& estimate,
                          std::string& error) {
  if (!options.profile.empty()) {
    if (!read_profile(options.profile, estimate, error) ||
        !read_ahead(format, input, 1, ahead, error))
      return false;
    estimate.frames = static_cast<int>(ahead.size());
    if (!ahead.empty()) estimate.family = ahead.front().stream.family;
    return true;
  }
  if (options.noise_from.empty()) {
    return read_ahead(format, input, kEstimateFrames, ahead, error) &&
           measure_noise(format, ahead, estimate, error);
  }
  if (!measure_file_noise(options.noise_from, estimate, error) ||
      !read_ahead(format, input, 1, ahead, error))
    return false;
  if (!ahead.empty() && ahead.front().stream.family != estimate.family) {
    error = "--noise-from " + options.noise_from + " holds frames of another kind than INPUT's";
    return false;
  }
  return true;
}

}  // namespace

int available_cores() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
#endif
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

bool denoise_stream(const RunOptions& options, const zolta_settings& chosen, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error) {
  zolta_settings settings = chosen;
  std::unique_ptr<FrameFormat> format = open_format(input, error);
  if (!format) return false;

  // Settings for a noise level: given, or measured on the first frames. The
  // frames read ahead go first into the pipeline.
  std::deque<StreamItem> ahead;
  if (options.temporal > 0 && !options.sigma_given) {
    // The temporal thresholds follow the noise as measured.
    NoiseEstimate estimate;
    zolta_settings measured;
    if (!measure_for_settings(options, *format, input, ahead, estimate, error)) return false;
    if (estimate.frames > 0) {
      if (!settings_for_estimate(estimate, measured, error)) return false;
      std::copy(std::begin(measured.temporal_thresholds), std::end(measured.temporal_thresholds),
                std::begin(settings.temporal_thresholds));
      std::copy(std::begin(measured.temporal_spatial_share),
                std::end(measured.temporal_spatial_share),
                std::begin(settings.temporal_spatial_share));
      std::copy(std::begin(measured.temporal_restore), std::end(measured.temporal_restore),
                std::begin(settings.temporal_restore));
    }
  }
  if (options.sigma_given) {
    NoiseEstimate estimate;
    if (options.sigma_auto) {
      if (!measure_for_settings(options, *format, input, ahead, estimate, error)) return false;
    } else {
      if (!read_ahead(*format, input, 1, ahead, error)) return false;
      estimate.frames = static_cast<int>(ahead.size());
      if (!ahead.empty()) estimate.family = ahead.front().stream.family;
      // The given noise is in the input's samples; RGB is denoised as Y, Cb, Cr.
      const float given = static_cast<float>(options.sigma);
      const float channels[3] = {given, given, given};
      zolta_noise_to_planes(channels, estimate.family, estimate.sigma, nullptr);
    }
    if (estimate.frames > 0) {
      if (!settings_for_estimate(estimate, settings, error)) return false;
      apply_views(options, settings);
    }
  }
  if (ahead.empty() && !format->header_usable(input, error)) return false;
  if (!format->start(out)) {
    error = "cannot write the output";
    return false;
  }

  const int threads = options.threads > 0 ? options.threads : available_cores();
  const long long input_bytes = regular_file_size(input);
  if (options.temporal > 0) {
    return denoise_windows(options, settings, *format, input, ahead, input_bytes, threads, out,
                           progress, error);
  }
  std::vector<StreamItem> items(pipeline_slots(threads));
  StreamDenoiser denoiser(threads, static_cast<size_t>(options.memory_mib) << 20);

  PipelineStages stages;
  stages.threads = threads;
  stages.slots = static_cast<int>(items.size());
  stages.memory_budget = static_cast<size_t>(options.memory_mib) << 20;
  stages.frame_bytes = [&](int slot) { return format->memory(items[slot]); };
  stages.read = [&](int slot, long index, std::string& message) {
    StreamItem& item = items[slot];
    ReadResult got = ReadResult::Frame;
    if (!ahead.empty()) {
      std::swap(item, ahead.front());
      ahead.pop_front();
    } else {
      got = format->read(input, item, message);
    }
    if (got == ReadResult::Error) message += " (" + frame_label(*format, index) + ")";
    if (got == ReadResult::Frame && index == 0 && input_bytes >= 0) {
      set_progress_total(progress, format->frames_in(input_bytes, item));
    }
    return got;
  };
  stages.work = [&](int slot, int, long index, std::string& message) {
    StreamItem& item = items[slot];
    zolta_error e{};
    const bool ok =
        format->bind(item, message) &&
        (zolta_stream_check(&item.stream, &e) == ZOLTA_OK || (message = e.message, false)) &&
        denoiser.process(settings, item.stream, item.frame, format->memory(item), message);
    if (!ok) {
      message += " (" + frame_label(*format, index) + ")";
      return false;
    }
    format->unbind(item);
    return true;
  };
  stages.write = [&](int slot, long, std::string& message) {
    if (!format->write(out, items[slot], message)) return false;
    count_frame(progress);
    return true;
  };
  return run_pipeline(stages, error);
}

bool denoise_picture(const zolta_settings& settings, Picture& picture, std::string& error) {
  StreamItem item;
  std::swap(item.picture, picture);
  PngFormat format;
  StreamDenoiser denoiser(1, 0);
  const bool ok =
      format.bind(item, error) && denoiser.process(settings, item.stream, item.frame, 0, error);
  if (ok) format.unbind(item);
  std::swap(item.picture, picture);
  return ok;
}
