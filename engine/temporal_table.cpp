// SPDX-License-Identifier: BSD-2-Clause
// Measured by tools/temporal_table/temporal_grid on clips of 40 frames cut
// from data/astronaut.png and data/coffee.png (384 x 256, still and panning
// 2 px right and 1 px down per frame, 4:2:0 8-bit, Gaussian noise of sigma on
// every plane, seed 2026): for each level and radius, the point of a grid of
// the temporal threshold (a multiple of sigma), the spatial share and the
// detail restored with the best mean PSNR over the four clips among those
// that leave no panning clip below radius 0; at radius 2 for sigma 10 and
// 20, the point of a finer grid whose worst clip falls least short of that
// clip's own best point. The threshold is the radius 2 point's; between
// entries everything is interpolated linearly, outside them the nearest
// entry holds. doc/settings-from-noise.md.
#include "temporal_table.h"

#include <cmath>
#include <cstddef>

namespace zolta {

namespace {

struct Entry {
  float sigma;
  float factor;      // temporal threshold / sigma
  int32_t share[2];  // spatial share at radius 1, 2 (256ths)
  int32_t restore[2];
};

// Generated: temporal_grid --sigmas 10,20,5,2,30,50 --factors 1,1.25,1.5,2,2.5
//   --shares 96,128,160,192,256 --restores 0,64,128 data/astronaut.png data/coffee.png
// and, finer at radius 2: temporal_grid --sigmas 10,20 --radii 2 --factors 1.5,1.75
//   --shares 112,128,144 --restores 64,96 data/astronaut.png data/coffee.png
const Entry kTable[] = {
    {2.0f, 1.5f, {192, 160}, {128, 128}}, {5.0f, 1.5f, {160, 128}, {64, 128}},
    {10.0f, 1.5f, {160, 112}, {64, 64}},  {20.0f, 1.5f, {128, 112}, {0, 64}},
    {30.0f, 1.5f, {128, 96}, {0, 0}},     {50.0f, 1.25f, {128, 96}, {0, 0}},
};

constexpr size_t kEntries = sizeof kTable / sizeof kTable[0];

// The entries around sigma and the weight of the second.
void bracket(float sigma, const Entry*& a, const Entry*& b, float& t) {
  size_t k = 0;
  while (k < kEntries && kTable[k].sigma < sigma) ++k;
  if (k == 0 || k == kEntries) {
    a = b = &kTable[k == 0 ? 0 : kEntries - 1];
    t = 0.0f;
    return;
  }
  a = &kTable[k - 1];
  b = &kTable[k];
  t = (sigma - a->sigma) / (b->sigma - a->sigma);
}

int32_t between(int32_t a, int32_t b, float t) {
  return static_cast<int32_t>(std::lround(static_cast<float>(a) + static_cast<float>(b - a) * t));
}

}  // namespace

void temporal_for_sigma(const float sigma[3], int planes, zolta_settings& settings) {
  const Entry* a;
  const Entry* b;
  float t;
  for (int p = 0; p < planes; ++p) {
    bracket(sigma[p], a, b, t);
    const float factor = a->factor + (b->factor - a->factor) * t;
    const long v = std::lround(16.0f * factor * sigma[p]);
    settings.temporal_thresholds[p] =
        v > ZOLTA_THRESHOLD_MAX ? ZOLTA_THRESHOLD_MAX : static_cast<int32_t>(v);
  }
  bracket(sigma[0], a, b, t);
  for (int r = 0; r < 2; ++r) {
    settings.temporal_spatial_share[r] = between(a->share[r], b->share[r], t);
    settings.temporal_restore[r] = between(a->restore[r], b->restore[r], t);
  }
}

}  // namespace zolta
