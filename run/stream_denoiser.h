/* SPDX-License-Identifier: BSD-2-Clause */
// The one denoiser of a stream that zolta-run's workers share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "engine_frames.h"
#include "zolta.h"

// One denoiser for the stream, shared by every worker as the plugins share
// theirs. Made for the first frame, and made again when the stream changes
// (pictures of another size); a worker keeps the denoiser its frame needs
// until that frame is done. It holds a working area for each frame that may
// be worked on at once: one per worker, but no more than the memory budget
// lets be in flight (a worker that finds none free waits for one).
class StreamDenoiser {
 public:
  StreamDenoiser(int workers, size_t memory_budget)
      : workers_(std::min(workers, 1024)), memory_budget_(memory_budget) {}

  // frame_bytes: what the frame takes while in flight (frame_memory).
  bool process(const zolta_settings& settings, const zolta_stream& stream, const zolta_frame& frame,
               size_t frame_bytes, std::string& error) {
    const zolta_frame* window[1] = {&frame};
    return process_window(settings, 0, stream, window, frame, frame_bytes, error);
  }

  // Frame n from frames n - radius ... n + radius (all of `stream`).
  bool process_window(const zolta_settings& settings, int radius, const zolta_stream& stream,
                      const zolta_frame* const* window, const zolta_frame& out, size_t frame_bytes,
                      std::string& error) {
    std::shared_ptr<zolta_denoiser> denoiser;
    zolta_error e{};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!current_ || !same_stream(stream, stream_)) {
        zolta_denoiser_config config{};
        config.stream = stream;
        config.settings = settings;
        config.threads = working_areas(frame_bytes);
        // The workers share a frame that is in process alone (a single
        // picture, a stream's last frame, input slower than the cores).
        config.frame_threads = std::min(workers_, 64);
        config.temporal_radius = radius;
        zolta_denoiser* made = nullptr;
        if (zolta_denoiser_create(&config, &made, &e) != ZOLTA_OK) {
          error = e.message;
          return false;
        }
        current_.reset(made, zolta_denoiser_destroy);
        stream_ = stream;
      }
      denoiser = current_;
    }
    if (zolta_denoiser_process_window(denoiser.get(), window, 2 * radius + 1, &out, &e) !=
        ZOLTA_OK) {
      error = e.message;
      return false;
    }
    return true;
  }

 private:
  int working_areas(size_t frame_bytes) const {
    if (memory_budget_ == 0 || frame_bytes == 0) return workers_;
    const size_t fit = memory_budget_ / frame_bytes;
    return fit < 1 ? 1 : fit < static_cast<size_t>(workers_) ? static_cast<int>(fit) : workers_;
  }

  const int workers_;
  const size_t memory_budget_;
  std::mutex mutex_;
  std::shared_ptr<zolta_denoiser> current_;
  zolta_stream stream_{};
};
