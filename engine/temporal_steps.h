/* SPDX-License-Identifier: BSD-2-Clause */
// The loops of block matching, of the temporal step and of the detail given
// back, in plain C++ that the compiler vectorises. Every operation works on
// one sample or one column of a block, and sums run in a fixed order, so
// the results are the same bits however wide the vectors are. Included by
// the baseline file and by the files compiled for wider instruction sets;
// internal linkage keeps each copy with the code it was compiled for.
#pragma once

#include <cmath>
#include <cstring>

#include "motion.h"
#include "temporal.h"

namespace zolta {

namespace {

namespace steps {

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

// The sum of n - c over a block, by columns as block_difference; the whole
// block with a fixed count.
float full_block_offset(const float* __restrict c, const float* __restrict n, ptrdiff_t stride) {
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < kBlockSize; ++r) {
    for (int32_t x = 0; x < kBlockSize; ++x) acc[x] += n[x] - c[x];
    c += stride;
    n += stride;
  }
  return sum_columns(acc);
}

float block_offset(const float* centre, const float* neighbour, ptrdiff_t stride,
                   int32_t block_width, int32_t block_rows) {
  if (block_width == kBlockSize && block_rows == kBlockSize) {
    return full_block_offset(centre, neighbour, stride);
  }
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < block_rows; ++r) {
    for (int32_t x = 0; x < block_width; ++x) {
      acc[x] += neighbour[r * stride + x] - centre[r * stride + x];
    }
  }
  return sum_columns(acc);
}

// The sum of (n - c)^2 over a block, by columns as block_difference; the
// whole block with a fixed count.
float full_block_squares(const float* __restrict c, const float* __restrict n, ptrdiff_t stride) {
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < kBlockSize; ++r) {
    for (int32_t x = 0; x < kBlockSize; ++x) acc[x] += (n[x] - c[x]) * (n[x] - c[x]);
    c += stride;
    n += stride;
  }
  return sum_columns(acc);
}

float block_squares(const float* centre, const float* neighbour, ptrdiff_t stride,
                    int32_t block_width, int32_t block_rows) {
  if (block_width == kBlockSize && block_rows == kBlockSize) {
    return full_block_squares(centre, neighbour, stride);
  }
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < block_rows; ++r) {
    for (int32_t x = 0; x < block_width; ++x) {
      const float d = neighbour[r * stride + x] - centre[r * stride + x];
      acc[x] += d * d;
    }
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
    return dx >= -kMotionRange && dx <= kMotionRange && dy >= -kMotionRange && dy <= kMotionRange &&
           x0 + dx >= 0 && x0 + dx + bw <= width && y0 + dy >= 0 && y0 + dy + bh <= rows;
  }

  // Tries a displacement; true if it is the new best.
  bool attempt(int32_t dx, int32_t dy) {
    if (!fits(dx, dy)) return false;
    const float* n = neighbour + dy * stride + dx;
    const float sad = bw == kBlockSize && bh == kBlockSize
                          ? full_block_difference(centre, n, stride)
                          : steps::block_difference(centre, n, stride, bw, bh);
    if (sad < best) {
      best = sad;
      best_dx = dx;
      best_dy = dy;
      return true;
    }
    return false;
  }
};

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
    const float* found = s.neighbour + s.best_dy * stride + s.best_dx;
    here->offset = block_offset(s.centre, found, stride, s.bw, s.bh) / samples;
    here->square = block_squares(s.centre, found, stride, s.bw, s.bh) / samples;
  }
}

// One neighbour's row into the running sums and counts: a sample joins where
// |n - c| <= limit (a negative limit: never).
// A row of the step with K other frames: per sample s = c, m = 1, then for
// each frame in order s = s + (joins ? n : 0), m = m + (joins ? 1 : 0) with
// joins = |n - c| <= limit (a negative limit: never); the result s / m and
// the count m.
template <int K>
void join_rows(const float* __restrict c, const float* const* moved, const float* const* limits,
               int32_t width, float* __restrict out, uint8_t* __restrict joined) {
  const float* __restrict n0 = moved[0];
  const float* __restrict n1 = moved[K > 1 ? 1 : 0];
  const float* __restrict n2 = moved[K > 2 ? 2 : 0];
  const float* __restrict n3 = moved[K > 3 ? 3 : 0];
  const float* __restrict l0 = limits[0];
  const float* __restrict l1 = limits[K > 1 ? 1 : 0];
  const float* __restrict l2 = limits[K > 2 ? 2 : 0];
  const float* __restrict l3 = limits[K > 3 ? 3 : 0];
  for (int32_t x = 0; x < width; ++x) {
    const float cx = c[x];
    float s = cx, m = 1.0f;
    bool joins = std::fabs(n0[x] - cx) <= l0[x];
    s = s + (joins ? n0[x] : 0.0f);
    m = m + (joins ? 1.0f : 0.0f);
    if (K > 1) {
      joins = std::fabs(n1[x] - cx) <= l1[x];
      s = s + (joins ? n1[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    if (K > 2) {
      joins = std::fabs(n2[x] - cx) <= l2[x];
      s = s + (joins ? n2[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    if (K > 3) {
      joins = std::fabs(n3[x] - cx) <= l3[x];
      s = s + (joins ? n3[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    out[x] = s / m;
    joined[x] = static_cast<uint8_t>(m);
  }
}

// The bounds a block's match is held to (temporal.h).
struct MatchLimits {
  float mean;    // of the absolute differences, v / 16
  float offset;  // of the differences, either way, v * 3 / 128
  float slack;   // squared, (v / 64)^2
};

// Whether a block's match holds the centre's picture: its mean absolute
// difference and its mean difference (either way) within their limits.
// The scene test counts these blocks.
bool block_matches(const BlockMatch& m, const MatchLimits& l) {
  return m.mean <= l.mean && std::fabs(m.offset) <= l.offset;
}

// Whether it joins: it matches, and its differences spread as noise's do,
// their mean square at most twice their mean absolute value squared plus
// the slack.
bool block_joins(const BlockMatch& m, const MatchLimits& l) {
  return block_matches(m, l) && m.square <= kSpreadRatio * (m.mean * m.mean) + l.slack;
}

// The limits of a row of blocks: the sample limit where the block's match
// joins, -1 where it does not.
void block_limits(const BlockMatch* matches, int32_t width, const MatchLimits& limits,
                  float sample_limit, float* limit) {
  for (int32_t x0 = 0, b = 0; x0 < width; x0 += kBlockSize, ++b) {
    const float l = block_joins(matches[b], limits) ? sample_limit : -1.0f;
    const int32_t end = x0 + kBlockSize < width ? x0 + kBlockSize : width;
    for (int32_t x = x0; x < end; ++x) limit[x] = l;
  }
}

// Row r of a neighbour, each block's part from where the block was found.
void moved_row(const float* neighbour, const BlockMatch* matches, ptrdiff_t stride, int32_t width,
               int32_t r, float* row) {
  for (int32_t x0 = 0, b = 0; x0 < width; x0 += kBlockSize, ++b) {
    const float* from = neighbour + (r + matches[b].dy) * stride + x0 + matches[b].dx;
    if (x0 + kBlockSize <= width) {
      std::memcpy(row + x0, from, sizeof(float) * kBlockSize);
    } else {
      std::memcpy(row + x0, from, sizeof(float) * static_cast<size_t>(width - x0));
    }
  }
}

int32_t temporal_plane(const float* centre, float* result, const float* const* neighbours,
                       BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                       int32_t rows, int32_t threshold, const TemporalRows& scratch, float* kept,
                       uint8_t* joined, const RowsReady* ready) {
  // v / 16, v * 7 / 128, v * 3 / 128, v / 64, v / 512 and v / 4 are exact
  // in single precision for v < 2^20.
  const float good_enough = static_cast<float>(threshold) * 0.0546875f;
  const float spread_slack = static_cast<float>(threshold) * kSpreadSlackShare;
  const MatchLimits limits{static_cast<float>(threshold) * 0.0625f,
                           static_cast<float>(threshold) * kOffsetShare,
                           spread_slack * spread_slack};
  const float sample_limit = static_cast<float>(threshold) * 0.25f;
  const float drift_limit = static_cast<float>(threshold) * kDriftShare;
  const int32_t across = blocks_along(width), down = blocks_along(rows);
  // The blocks the scene is judged on: all but the outer ring, where
  // picture enters and leaves (all on planes of fewer than three blocks
  // either way).
  const bool ring = across > 2 && down > 2;
  const int32_t blocks = ring ? (across - 2) * (down - 2) : across * down;
  // Every block matched first, counting per other frame the blocks whose
  // match holds the centre's picture.
  int32_t matching[kMaxNeighbours] = {};
  float drift[kMaxNeighbours] = {};
  for (int32_t by = 0; by * kBlockSize < rows; ++by) {
    if (ready) {
      const int32_t reach = (by + 1) * kBlockSize + kMotionRange;
      ready->fill(ready->context, reach < rows ? reach : rows);
    }
    for (int k = 0; k < count; ++k) {
      steps::match_block_row(centre, neighbours[k], stride, width, rows, by, good_enough,
                             matches[k]);
      if (ring && (by == 0 || by == down - 1)) continue;
      const BlockMatch* row = matches[k] + by * across;
      for (int32_t b = ring ? 1 : 0; b < (ring ? across - 1 : across); ++b) {
        const bool matches_here = block_matches(row[b], limits);
        matching[k] += matches_here ? 1 : 0;
        drift[k] = drift[k] + (matches_here ? row[b].offset : 0.0f);
      }
    }
  }
  // A frame of which too few blocks match, or whose blocks are brighter or
  // darker on the whole, holds another scene (a cut, a flash, a fade,
  // motion beyond the search): it is left out whole.
  const float* taken[kMaxNeighbours];
  const BlockMatch* taken_matches[kMaxNeighbours];
  int32_t used = 0;
  for (int k = 0; k < count; ++k) {
    const bool one_scene =
        int64_t{matching[k]} * kSceneOutOf >= int64_t{blocks} * kSceneShare &&
        std::fabs(drift[k]) <= drift_limit * static_cast<float>(matching[k] + kDriftSlack);
    if (one_scene) {
      taken[used] = neighbours[k];
      taken_matches[used] = matches[k];
      ++used;
    }
  }
  for (int32_t by = 0; by * kBlockSize < rows; ++by) {
    for (int k = 0; k < used; ++k) {
      steps::block_limits(taken_matches[k] + by * across, width, limits, sample_limit,
                          scratch.limits[k]);
    }
    const int32_t last = (by + 1) * kBlockSize < rows ? (by + 1) * kBlockSize : rows;
    for (int32_t r = by * kBlockSize; r < last; ++r) {
      // Each other frame's row from where its blocks were found, then the
      // row of the result and its counts in one pass.
      for (int k = 0; k < used; ++k) {
        steps::moved_row(taken[k], taken_matches[k] + by * across, stride, width, r,
                         scratch.moved[k]);
      }
      const float* c = centre + r * stride;
      float* out = result + r * stride;
      uint8_t* j = joined ? joined + r * stride : scratch.counts;
      switch (used) {
        case 0:
          std::memcpy(out, c, sizeof(float) * static_cast<size_t>(width));
          std::memset(j, 1, static_cast<size_t>(width));
          break;
        case 1:
          steps::join_rows<1>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        case 2:
          steps::join_rows<2>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        case 3:
          steps::join_rows<3>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        default:
          steps::join_rows<4>(c, scratch.moved, scratch.limits, width, out, j);
          break;
      }
      if (kept) std::memcpy(kept + r * stride, out, sizeof(float) * static_cast<size_t>(width));
    }
  }
  return used;
}

// u + (t - u) * w over a row, w = (float)(q (m - 1)) / (float)(512 R) made
// per sample from the count so that the loop vectorises.
// The weight's denominator 512 R is a power of two (R is 1 or 2), so the
// division is the exact multiplication by its reciprocal.
float restore_reciprocal(int32_t radius) {
  return radius == 2 ? 1.0f / 1024.0f : 1.0f / 512.0f;
}

void restore_detail(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t restore, int32_t radius) {
  const float reciprocal = steps::restore_reciprocal(radius);
  for (int32_t r = 0; r < rows; ++r) {
    float* __restrict u = plane + r * stride;
    const float* __restrict t = kept + r * stride;
    const uint8_t* __restrict m = joined + r * stride;
    for (int32_t x = 0; x < width; ++x) {
      const float w = static_cast<float>(restore * (static_cast<int32_t>(m[x]) - 1)) * reciprocal;
      u[x] = u[x] + (t[x] - u[x]) * w;
    }
  }
}

// A row of a strip; kWidth 0: `width` samples.
template <int32_t kWidth>
void restore_strip_row(const float* __restrict u, const float* __restrict t,
                       const uint8_t* __restrict m, int32_t width, int32_t restore,
                       float reciprocal, float* __restrict o) {
  const int32_t n = kWidth > 0 ? kWidth : width;
  for (int32_t x = 0; x < n; ++x) {
    const float w = static_cast<float>(restore * (static_cast<int32_t>(m[x]) - 1)) * reciprocal;
    o[x] = u[x] + (t[x] - u[x]) * w;
  }
}

void restore_strip(const float* strip, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                   int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out) {
  const float reciprocal = steps::restore_reciprocal(radius);
  for (int32_t r = 0; r < rows; ++r) {
    if (width == 16) {
      steps::restore_strip_row<16>(strip + r * width, kept + r * stride, joined + r * stride, width,
                                   restore, reciprocal, out + r * width);
    } else {
      steps::restore_strip_row<0>(strip + r * width, kept + r * stride, joined + r * stride, width,
                                  restore, reciprocal, out + r * width);
    }
  }
}

}  // namespace steps

}  // namespace

}  // namespace zolta
