#include "motion.h"

#include <cmath>

namespace zolta {

namespace {

float sum_columns(const float acc[kBlockSize]) {
  return ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
}

// The whole block: a fixed count the compiler unrolls and vectorises.
float full_block_difference(const float* __restrict c, const float* __restrict n,
                            ptrdiff_t stride) {
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < kBlockSize; ++r) {
    for (int32_t x = 0; x < kBlockSize; ++x) acc[x] += std::fabs(n[x] - c[x]);
    c += stride;
    n += stride;
  }
  return sum_columns(acc);
}

struct Search {
  const float* centre;     // the block's first sample
  const float* neighbour;  // the neighbour's sample at the block's place
  ptrdiff_t stride;
  int32_t x0, y0, bw, bh, width, rows;
  int32_t best_dx, best_dy;
  float best;

  bool fits(int32_t dx, int32_t dy) const {
    return dx >= -kMotionRange && dx <= kMotionRange && dy >= -kMotionRange &&
           dy <= kMotionRange && x0 + dx >= 0 && x0 + dx + bw <= width && y0 + dy >= 0 &&
           y0 + dy + bh <= rows;
  }

  // Tries a displacement; true if it is the new best.
  bool attempt(int32_t dx, int32_t dy) {
    if (!fits(dx, dy)) return false;
    const float* n = neighbour + dy * stride + dx;
    const float sad = bw == kBlockSize && bh == kBlockSize
                          ? full_block_difference(centre, n, stride)
                          : block_difference(centre, n, stride, bw, bh);
    if (sad < best) {
      best = sad;
      best_dx = dx;
      best_dy = dy;
      return true;
    }
    return false;
  }
};

}  // namespace

float block_difference(const float* centre, const float* neighbour, ptrdiff_t stride,
                       int32_t block_width, int32_t block_rows) {
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < block_rows; ++r) {
    for (int32_t x = 0; x < block_width; ++x) {
      acc[x] += std::fabs(neighbour[r * stride + x] - centre[r * stride + x]);
    }
  }
  return sum_columns(acc);
}

void match_block_row(const float* centre, const float* neighbour, ptrdiff_t stride, int32_t width,
                     int32_t rows, int32_t by, float good_enough, BlockMatch* matches) {
  const int32_t across = blocks_along(width);
  for (int32_t bx = 0; bx < across; ++bx) {
    Search s;
    s.x0 = bx * kBlockSize;
    s.y0 = by * kBlockSize;
    s.bw = width - s.x0 < kBlockSize ? width - s.x0 : kBlockSize;
    s.bh = rows - s.y0 < kBlockSize ? rows - s.y0 : kBlockSize;
    s.width = width;
    s.rows = rows;
    s.stride = stride;
    s.centre = centre + s.y0 * stride + s.x0;
    s.neighbour = neighbour + s.y0 * stride + s.x0;
    s.best_dx = 0;
    s.best_dy = 0;
    s.best = INFINITY;
    const float samples = static_cast<float>(s.bw * s.bh);
    const float enough = good_enough * samples;
    BlockMatch* here = matches + by * across + bx;
    const BlockMatch* hints[3] = {bx > 0 ? here - 1 : nullptr, by > 0 ? here - across : nullptr,
                                  by > 0 && bx + 1 < across ? here - across + 1 : nullptr};
    bool zero_tried = false;
    for (int i = 0; i < 3 && !(s.best <= enough); ++i) {
      if (!hints[i]) continue;
      bool tried = false;
      for (int j = 0; j < i && !tried; ++j) {
        tried = hints[j] && hints[j]->dx == hints[i]->dx && hints[j]->dy == hints[i]->dy;
      }
      if (!tried) s.attempt(hints[i]->dx, hints[i]->dy);
      zero_tried = zero_tried || (hints[i]->dx == 0 && hints[i]->dy == 0);
    }
    if (!zero_tried && !(s.best <= enough)) s.attempt(0, 0);
    for (int32_t step = 0; step < kMotionRange && !(s.best <= enough); ++step) {
      const int32_t dx = s.best_dx, dy = s.best_dy;
      bool moved_on = s.attempt(dx - 1, dy);
      moved_on = s.attempt(dx + 1, dy) || moved_on;
      moved_on = s.attempt(dx, dy - 1) || moved_on;
      moved_on = s.attempt(dx, dy + 1) || moved_on;
      if (!moved_on) break;
    }
    here->dx = s.best_dx;
    here->dy = s.best_dy;
    // (0, 0) always fits, so the best is finite.
    here->mean = s.best / samples;
  }
}

}  // namespace zolta
