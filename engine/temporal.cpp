// SPDX-License-Identifier: BSD-2-Clause
#include "temporal.h"

#include "temporal_steps.h"

namespace zolta {

void match_block_row(const float* centre, const float* neighbour, ptrdiff_t stride, int32_t width,
                     int32_t rows, int32_t by, float good_enough, BlockMatch* matches) {
  steps::match_block_row<float>({centre, stride}, {neighbour, stride}, width, rows, by, good_enough,
                                matches);
}

int32_t temporal_plane(const float* centre, float* result, const float* const* neighbours,
                       BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                       int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                       const TemporalRows& scratch, float* kept, uint8_t* joined,
                       const RowsReady* ready) {
  return steps::temporal_plane(centre, result, neighbours, matches, count, stride, width, rows,
                               threshold, curve, scratch, kept, joined, ready);
}

int32_t temporal_plane_bytes(const BytePlanes& window, int32_t count, float* result,
                             ptrdiff_t stride, BlockMatch* const* matches, int32_t width,
                             int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                             const TemporalRows& scratch, float* kept, uint8_t* joined) {
  return steps::temporal_plane_bytes(window, count, result, stride, matches, width, rows, threshold,
                                     curve, scratch, kept, joined);
}

int32_t temporal_judge_bytes(const BytePlanes& window, int32_t count, BlockMatch* const* matches,
                             int32_t width, int32_t rows, int32_t threshold,
                             const BrightnessCurve* curve, BlockStep* room,
                             ByteAveraging& averaging) {
  return steps::temporal_judge_bytes(window, count, matches, width, rows, threshold, curve, room,
                                     averaging);
}

void temporal_row_bytes(const ByteAveraging& averaging, int32_t row, int32_t width, float* out,
                        uint16_t* packed) {
  steps::temporal_row_bytes(averaging, row, width, out, packed);
}

void restore_strip_packed(const float* strip, const uint16_t* packed, ptrdiff_t stride,
                          int32_t width, int32_t rows, int32_t restore, int32_t radius,
                          float* out) {
  steps::restore_strip_packed(strip, packed, stride, width, rows, restore, radius, out);
}

void restore_detail(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t restore, int32_t radius) {
  steps::restore_detail(plane, kept, joined, stride, width, rows, restore, radius);
}

void restore_strip(const float* strip, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                   int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out) {
  steps::restore_strip(strip, kept, joined, stride, width, rows, restore, radius, out);
}

int32_t spatial_share_of(int32_t v, int32_t share) {
  if (v <= 0 || share == 0) return v;
  const int64_t scaled = (static_cast<int64_t>(v) * share + 128) >> 8;
  return scaled < 1 ? 1 : static_cast<int32_t>(scaled);
}

int32_t window_share(int32_t share, int32_t count, int32_t radius) {
  if (share == 0 || radius <= 0 || count >= 2 * radius) return share;
  return 256 - ((256 - share) * count) / (2 * radius);
}

}  // namespace zolta
