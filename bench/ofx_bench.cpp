// SPDX-License-Identifier: BSD-2-Clause
// zolta.ofx in the OpenFX test host against the library's own call, back to
// back on the same 1080p frames: float RGBA (and 8-bit RGBA) as an editor
// hands them over, through the library's planar RGB frames with a pixel step.
// Each round times one render of every frame in the host (the render action
// with its sequence actions and the host's own image fetches), then the
// library's process calls on the same frames; the best round of each is kept,
// so that the other work on a shared machine disturbs both alike.
//   zolta_ofx_bench [rounds] [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "ofx_test_host.h"
#include "ofx_test_pictures.h"

namespace {

zolta_frame frame_of(const TestPicture& p, uint8_t* bytes) {
  zolta_frame frame;
  zolta_frame_default(&frame, ZOLTA_API_VERSION);
  for (int c = 0; c < 3; ++c) {
    frame.data[c] = bytes + c * (p.bits / 8);
    frame.stride[c] = static_cast<ptrdiff_t>(p.row_bytes());
    frame.step[c] = p.components * (p.bits / 8);
  }
  return frame;
}

// The library's own denoiser for the clip, made once, as the effect's is.
zolta_denoiser* library_denoiser(const TestPicture& p, int radius) {
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_RGB;
  config.stream.sample = p.bits == 32 ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  config.stream.bits = p.bits;
  config.stream.width = p.width;
  config.stream.height = p.height;
  config.temporal_radius = radius;
  const float sigma[3] = {10, 10, 10};
  zolta_denoiser* denoiser = nullptr;
  if (zolta_settings_for_noise(sigma, ZOLTA_FAMILY_RGB, &config.settings, nullptr) != ZOLTA_OK ||
      zolta_denoiser_create(&config, &denoiser, nullptr) != ZOLTA_OK)
    return nullptr;
  return denoiser;
}

// Wall time and the process's processor time (every thread's), in seconds.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = cpu_now();
  static double cpu_now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  }
  double wall_seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  }
  double cpu_seconds() const { return cpu_now() - cpu; }
};

int run(int bits, int rounds, int frames, int radius) {
  const std::vector<TestPicture> clip = test_clip(frames, 1920, 1080, 4, bits);
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create("org.zolta.denoise");
  if (!effect) {
    std::fprintf(stderr, "the test host did not find org.zolta.denoise\n");
    return 1;
  }
  effect->set_clip(clip);
  effect->set_double("sigma", 10);
  effect->set_int("temporal", radius);
  zolta_denoiser* denoiser = library_denoiser(clip[0], radius);
  if (!denoiser) return 1;
  std::vector<TestPicture> inputs = clip;
  TestPicture output = clip[0];
  std::vector<zolta_frame> frames_in;
  for (TestPicture& p : inputs) frames_in.push_back(frame_of(p, p.bytes.data()));
  const zolta_frame out = frame_of(output, output.bytes.data());
  double best_host = 1e9, best_library = 1e9, cpu_host = 1e9, cpu_library = 1e9;
  for (int r = 0; r < rounds; ++r) {
    Clock host_clock;
    for (int n = 0; n < frames; ++n) {
      if (effect->render(n, nullptr) != 0) {
        std::fprintf(stderr, "render failed\n");
        return 1;
      }
    }
    best_host = std::min(best_host, host_clock.wall_seconds());
    cpu_host = std::min(cpu_host, host_clock.cpu_seconds());
    Clock library_clock;
    for (int n = 0; n < frames; ++n) {
      const zolta_frame* window[5];
      for (int k = -radius; k <= radius; ++k) {
        int i = n + k;
        i = i < 0 ? -i : i >= frames ? 2 * (frames - 1) - i : i;
        window[k + radius] = &frames_in[static_cast<size_t>(i)];
      }
      zolta_denoiser_process_window(denoiser, window, 2 * radius + 1, &out, nullptr);
    }
    best_library = std::min(best_library, library_clock.wall_seconds());
    cpu_library = std::min(cpu_library, library_clock.cpu_seconds());
  }
  std::printf(
      "%-6s RGBA 1920x1080, temporal %d, %d frames, best of %d rounds:\n"
      "  wall: host %.1f ms/frame, library %.1f ms/frame, ratio %.3f\n"
      "  cpu:  host %.1f ms/frame, library %.1f ms/frame, ratio %.3f\n",
      bits == 32 ? "float" : "8-bit", radius, frames, rounds, 1e3 * best_host / frames,
      1e3 * best_library / frames, best_host / best_library, 1e3 * cpu_host / frames,
      1e3 * cpu_library / frames, cpu_host / cpu_library);
  zolta_denoiser_destroy(denoiser);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  use_build_plugin_path();
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const int frames = argc > 2 ? std::atoi(argv[2]) : 3;
  int status = run(32, rounds, frames, 0);
  if (status == 0) status = run(32, rounds, frames, 2);
  if (status == 0) status = run(8, rounds, frames, 0);
  return status;
}
