// SPDX-License-Identifier: BSD-2-Clause
#include "picture_denoise.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "filter_state.h"
#include "legacy_conversions.h"

using namespace zolta;

namespace {

// The engine's record for one picture, with its planes allocated.
struct Engine {
  FilterState state{};
  std::vector<uint32_t> src, dst;

  explicit Engine(const Picture& picture)
      : src(static_cast<size_t>(picture.width) * picture.height), dst(src.size()) {
    init_defaults(state);
    picture_to_rgb32(picture, src.data());
    state.width = state.proc_width = picture.width;
    state.height = state.proc_height = picture.height;
    state.src = src.data();
    state.dst = dst.data();
    state.src_pitch = picture.width;
    alloc_buffers(state);
  }
  ~Engine() { free_buffers(state); }
  const float* plane(int p) const {
    return p == 0 ? state.plane_y : p == 1 ? state.plane_cb : state.plane_cr;
  }
};

}  // namespace

bool denoise_picture(const Picture& in, const zolta_settings& settings, Picture& out,
                     std::string& error) {
  zolta_denoiser_config config{};
  config.stream = {
      ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB24, ZOLTA_SAMPLE_INTEGER, 8, in.width, in.height, {}};
  config.settings = settings;
  config.threads = 1;
  zolta_denoiser* denoiser = nullptr;
  zolta_error e{};
  out = in;
  const ptrdiff_t stride = static_cast<ptrdiff_t>(in.width) * 3;
  const zolta_frame source = {ZOLTA_API_VERSION,
                              {const_cast<uint8_t*>(in.samples.data()), nullptr, nullptr},
                              {stride, 0, 0},
                              {0, 0, 0},
                              0,
                              {}};
  const zolta_frame result = {
      ZOLTA_API_VERSION, {out.samples.data(), nullptr, nullptr}, {stride, 0, 0}, {0, 0, 0}, 0, {}};
  const bool ok = zolta_denoiser_create(&config, &denoiser, &e) == ZOLTA_OK &&
                  zolta_denoiser_process(denoiser, &source, &result, &e) == ZOLTA_OK;
  zolta_denoiser_destroy(denoiser);
  if (!ok) error = e.message;
  return ok;
}

void plane_noise(const Picture& clean, const Picture& noisy, double sigma[3]) {
  Engine a(clean), b(noisy);
  if (!a.state.plane_block || !b.state.plane_block) {
    sigma[0] = sigma[1] = sigma[2] = 0;
    return;
  }
  rgb32_to_planes(a.state);
  rgb32_to_planes(b.state);
  const ptrdiff_t stride = clean.width + PlaneBuffers::kMargin;
  for (int p = 0; p < 3; ++p) {
    double sum = 0, squares = 0;
    for (int y = 0; y < clean.height; ++y) {
      for (int x = 0; x < clean.width; ++x) {
        const double d = double{b.plane(p)[y * stride + x]} - a.plane(p)[y * stride + x];
        sum += d;
        squares += d * d;
      }
    }
    const double n = static_cast<double>(clean.width) * clean.height;
    sigma[p] = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
  }
}
