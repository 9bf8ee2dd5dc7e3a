// SPDX-License-Identifier: BSD-2-Clause
#include "noise_across_frames.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "errors.h"
#include "frame_io.h"
#include "noise_estimate.h"

namespace zolta {

namespace {

// Sum of the squared differences of rows first, first + 2, ... of the block
// at (x, y) in a and the block at (x + dx, y + dy) in b, stopping as soon as
// it reaches `stop`.
float block_rows_square_sum(const float* a, const float* b, ptrdiff_t stride, int32_t x, int32_t y,
                            int32_t dx, int32_t dy, int32_t first, float stop) {
  float sum = 0.0f;
  for (int32_t r = first; r < kNoiseBlock; r += 2) {
    const float* pa = a + (y + r) * stride + x;
    const float* pb = b + (y + r + dy) * stride + x + dx;
    for (int32_t i = 0; i < kNoiseBlock; ++i) {
      const float d = pb[i] - pa[i];
      sum += d * d;
    }
    if (sum >= stop) break;
  }
  return sum;
}

// One frame's planes on the 8-bit scale, in storage of their own.
struct PlaneSet {
  std::vector<float> storage[3];
  FloatPlanes planes{};

  explicit PlaneSet(const StreamLayout& layout) {
    for (int p = 0; p < layout.planes; ++p) {
      storage[p].resize(static_cast<size_t>(layout.plane_width[p]) * layout.plane_height[p]);
      planes.plane[p] = storage[p].data();
      planes.stride[p] = layout.plane_width[p];
    }
  }
};

float upper_median(std::vector<float>& values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  return values[middle];
}

}  // namespace

NoiseMatch match_noise_block(const float* a, const float* b, ptrdiff_t stride, int32_t x,
                             int32_t y) {
  const float samples = static_cast<float>(kNoiseBlock * kNoiseBlock / 2);
  float best = block_rows_square_sum(a, b, stride, x, y, 0, 0, 0,
                                     std::numeric_limits<float>::infinity());
  int32_t best_dx = 0, best_dy = 0;
  for (int32_t dy = -kNoiseReach; dy <= kNoiseReach; ++dy) {
    for (int32_t dx = -kNoiseReach; dx <= kNoiseReach; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const float sum = block_rows_square_sum(a, b, stride, x, y, dx, dy, 0, best);
      if (sum < best) {
        best = sum;
        best_dx = dx;
        best_dy = dy;
      }
    }
  }
  const float measured = block_rows_square_sum(a, b, stride, x, y, best_dx, best_dy, 1,
                                               std::numeric_limits<float>::infinity());
  return {best_dx, best_dy, measured / samples};
}

void block_differences(const float* a, const float* b, ptrdiff_t stride, int32_t w, int32_t h,
                       std::vector<float>& energies) {
  for (int32_t y = kNoiseReach; y + kNoiseBlock + kNoiseReach <= h; y += kNoiseBlock) {
    for (int32_t x = kNoiseReach; x + kNoiseBlock + kNoiseReach <= w; x += kNoiseBlock) {
      const NoiseMatch match = match_noise_block(a, b, stride, x, y);
      if (match.energy > 0.0f) energies.push_back(match.energy);
    }
  }
}

int check_frames(const StreamLayout& layout, const zolta_frame* const* frames, int32_t count,
                 zolta_error* error) {
  for (int32_t n = 0; n < count; ++n) {
    if (!frames[n]) {
      return fail(error, ZOLTA_ERROR_ARGUMENT, "frame %ld of %ld is not given",
                  static_cast<long>(n), static_cast<long>(count));
    }
    zolta_error own{};
    const int status = check_frame(layout, *frames[n], "input", &own);
    if (status != ZOLTA_OK) {
      return fail(error, status, "%s (frame %ld of %ld)", own.message, static_cast<long>(n),
                  static_cast<long>(count));
    }
  }
  return ZOLTA_OK;
}

int estimate_noise_frames(const StreamLayout& layout, const zolta_frame* const* frames,
                          int32_t count, float sigma[3], zolta_error* error) {
  const int checked = check_frames(layout, frames, count, error);
  if (checked != ZOLTA_OK) return checked;
  try {
    PlaneSet current(layout), next(layout);
    std::vector<float> details;
    details.reserve(static_cast<size_t>(layout.width / 2) * (layout.height / 2));
    std::vector<float> per_frame[3];
    std::vector<float> energies[3];
    frame_to_planes(layout, *frames[0], current.planes);
    for (int32_t n = 0; n < count; ++n) {
      for (int p = 0; p < layout.planes; ++p) {
        per_frame[p].push_back(plane_noise(current.planes.plane[p], current.planes.stride[p],
                                           layout.plane_width[p], layout.plane_height[p], details));
      }
      if (n + 1 == count) break;
      frame_to_planes(layout, *frames[n + 1], next.planes);
      for (int p = 0; p < layout.planes; ++p) {
        block_differences(current.planes.plane[p], next.planes.plane[p], current.planes.stride[p],
                          layout.plane_width[p], layout.plane_height[p], energies[p]);
      }
      std::swap(current, next);
    }
    for (int p = 0; p < 3; ++p) {
      if (p >= layout.planes) {
        sigma[p] = 0.0f;
        continue;
      }
      sigma[p] = upper_median(per_frame[p]);
      if (energies[p].size() >= kNoiseMinBlocks) {
        sigma[p] = std::min(sigma[p], std::sqrt(upper_median(energies[p]) * 0.5f));
      }
    }
  } catch (const std::bad_alloc&) {
    return fail(
        error, ZOLTA_ERROR_MEMORY, "out of memory for the noise estimate of %ld frames of %d x %d",
        static_cast<long>(count), static_cast<int>(layout.width), static_cast<int>(layout.height));
  }
  return succeed(error);
}

}  // namespace zolta
