// SPDX-License-Identifier: BSD-2-Clause
#include "noise_estimate.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "errors.h"
#include "frame_io.h"

namespace zolta {

float plane_noise(const float* plane, ptrdiff_t stride, int32_t w, int32_t h,
                  std::vector<float>& details) {
  details.clear();
  for (int32_t r = 0; r + 1 < h; r += 2) {
    const float* a = plane + r * stride;
    const float* b = a + stride;
    for (int32_t x = 0; x + 1 < w; x += 2) {
      details.push_back(std::fabs(((a[x] - a[x + 1]) - b[x]) + b[x + 1]) * 0.5f);
    }
  }
  if (details.empty()) return 0.0f;
  const size_t middle = details.size() / 2;
  std::nth_element(details.begin(), details.begin() + middle, details.end());
  return details[middle] / 0.6745f;
}

int estimate_noise(const StreamLayout& layout, const zolta_frame& frame, float sigma[3],
                   zolta_error* error) {
  try {
    std::vector<float> storage[3];
    FloatPlanes planes{};
    for (int p = 0; p < layout.planes; ++p) {
      storage[p].resize(static_cast<size_t>(layout.plane_width[p]) * layout.plane_height[p]);
      planes.plane[p] = storage[p].data();
      planes.stride[p] = layout.plane_width[p];
    }
    frame_to_planes(layout, frame, planes);
    std::vector<float> details;
    details.reserve(static_cast<size_t>(layout.width / 2) * (layout.height / 2));
    for (int p = 0; p < 3; ++p) {
      sigma[p] = p < layout.planes
                     ? plane_noise(planes.plane[p], planes.stride[p], layout.plane_width[p],
                                   layout.plane_height[p], details)
                     : 0.0f;
    }
  } catch (const std::bad_alloc&) {
    return fail(error, ZOLTA_ERROR_MEMORY,
                "out of memory for the noise estimate of a %d x %d frame",
                static_cast<int>(layout.width), static_cast<int>(layout.height));
  }
  return succeed(error);
}

void rgb_noise_in_planes(const float rgb[3], float planes[3]) {
  // Weights of R, G and B in each plane.
  static const double kWeights[3][3] = {{0.299, 0.587, 0.114},
                                        {0.565 * -0.299, 0.565 * -0.587, 0.565 * 0.886},
                                        {0.713 * 0.701, 0.713 * -0.587, 0.713 * -0.114}};
  if (rgb[0] == rgb[1] && rgb[1] == rgb[2]) {
    // The same noise in every channel: sigma times the square root of the
    // sum of the squared weights, in this order (the noise table's own
    // measurements were made with it).
    const double sigma = rgb[0];
    const double y = std::sqrt(0.299 * 0.299 + 0.587 * 0.587 + 0.114 * 0.114);
    const double cb = 0.565 * std::sqrt(0.299 * 0.299 + 0.587 * 0.587 + 0.886 * 0.886);
    const double cr = 0.713 * std::sqrt(0.701 * 0.701 + 0.587 * 0.587 + 0.114 * 0.114);
    planes[0] = static_cast<float>(sigma * y);
    planes[1] = static_cast<float>(sigma * cb);
    planes[2] = static_cast<float>(sigma * cr);
    return;
  }
  for (int p = 0; p < 3; ++p) {
    double variance = 0.0;
    for (int c = 0; c < 3; ++c) {
      const double part = kWeights[p][c] * rgb[c];
      variance += part * part;
    }
    planes[p] = static_cast<float>(std::sqrt(variance));
  }
}

}  // namespace zolta
