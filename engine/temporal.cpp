#include "temporal.h"

#include <cmath>
#include <cstring>

namespace zolta {

namespace {

// One neighbour's row into the running sums and counts: a sample joins where
// |n - c| <= limit (a negative limit: never).
void join_row(const float* __restrict n, const float* __restrict c,
              const float* __restrict limit, int32_t width, float* __restrict s,
              float* __restrict m) {
  for (int32_t x = 0; x < width; ++x) {
    const bool joins = std::fabs(n[x] - c[x]) <= limit[x];
    s[x] = s[x] + (joins ? n[x] : 0.0f);
    m[x] = m[x] + (joins ? 1.0f : 0.0f);
  }
}

// The limits of a row of blocks: the sample limit where the block's match
// is good enough, -1 where it is not.
void block_limits(const BlockMatch* matches, int32_t width, float block_limit, float sample_limit,
                  float* limit) {
  for (int32_t x0 = 0, b = 0; x0 < width; x0 += kBlockSize, ++b) {
    const float l = matches[b].mean <= block_limit ? sample_limit : -1.0f;
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

}  // namespace

void temporal_plane(const float* centre, float* result, const float* const* neighbours,
                    BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                    int32_t rows, int32_t threshold, const TemporalRows& scratch, float* kept,
                    uint8_t* joined, const RowsReady* ready) {
  // v / 16, v * 7 / 128 and v / 4 are exact in single precision for v < 2^20.
  const float block_limit = static_cast<float>(threshold) * 0.0625f;
  const float good_enough = static_cast<float>(threshold) * 0.0546875f;
  const float sample_limit = static_cast<float>(threshold) * 0.25f;
  const int32_t across = blocks_along(width);
  for (int32_t by = 0; by * kBlockSize < rows; ++by) {
    if (ready) {
      const int32_t reach = (by + 1) * kBlockSize + kMotionRange;
      ready->fill(ready->context, reach < rows ? reach : rows);
    }
    for (int k = 0; k < count; ++k) {
      match_block_row(centre, neighbours[k], stride, width, rows, by, good_enough, matches[k]);
      block_limits(matches[k] + by * across, width, block_limit, sample_limit, scratch.limits[k]);
    }
    const int32_t last = (by + 1) * kBlockSize < rows ? (by + 1) * kBlockSize : rows;
    for (int32_t r = by * kBlockSize; r < last; ++r) {
      // The running sums and counts of the row, neighbour after neighbour
      // (each sample's own order is the rule's); the centre's row is
      // written at the end.
      const float* c = centre + r * stride;
      float* s = scratch.sum;
      float* m = scratch.count;
      for (int32_t x = 0; x < width; ++x) {
        s[x] = c[x];
        m[x] = 1.0f;
      }
      for (int k = 0; k < count; ++k) {
        moved_row(neighbours[k], matches[k] + by * across, stride, width, r, scratch.moved);
        join_row(scratch.moved, c, scratch.limits[k], width, s, m);
      }
      float* out = result + r * stride;
      for (int32_t x = 0; x < width; ++x) out[x] = s[x] / m[x];
      if (kept) std::memcpy(kept + r * stride, out, sizeof(float) * static_cast<size_t>(width));
      if (joined) {
        uint8_t* j = joined + r * stride;
        for (int32_t x = 0; x < width; ++x) j[x] = static_cast<uint8_t>(m[x]);
      }
    }
  }
}

namespace {

// u + (t - u) * w over a row, w = (float)(q (m - 1)) / (float)(512 R) made
// per sample from the count so that the loop vectorises.
void restore_row(const float* u, const float* __restrict t, const uint8_t* __restrict m,
                 int32_t width, int32_t restore, float denominator, float* out) {
  for (int32_t x = 0; x < width; ++x) {
    const float w = static_cast<float>(restore * (static_cast<int32_t>(m[x]) - 1)) / denominator;
    out[x] = u[x] + (t[x] - u[x]) * w;
  }
}

}  // namespace

void restore_detail(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t restore, int32_t radius) {
  const float denominator = static_cast<float>(512 * radius);
  for (int32_t r = 0; r < rows; ++r) {
    float* u = plane + r * stride;
    restore_row(u, kept + r * stride, joined + r * stride, width, restore, denominator, u);
  }
}

void restore_strip(const float* strip, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                   int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out) {
  const float denominator = static_cast<float>(512 * radius);
  for (int32_t r = 0; r < rows; ++r) {
    restore_row(strip + r * width, kept + r * stride, joined + r * stride, width, restore,
                denominator, out + r * width);
  }
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
