#include "temporal.h"

#include <cmath>

namespace zolta {

namespace {

// The absolute differences of a row of a neighbour and of the centre,
// summed over three neighbouring samples along the row ((left + here) +
// right), the edge sample standing in beyond the edge.
void row_sums(const float* centre, const float* neighbour, int32_t width, float* difference,
              float* sums) {
  for (int32_t x = 0; x < width; ++x) difference[x] = std::fabs(neighbour[x] - centre[x]);
  if (width == 1) {
    sums[0] = (difference[0] + difference[0]) + difference[0];
    return;
  }
  sums[0] = (difference[0] + difference[0]) + difference[1];
  for (int32_t x = 1; x < width - 1; ++x) {
    sums[x] = (difference[x - 1] + difference[x]) + difference[x + 1];
  }
  sums[width - 1] = (difference[width - 2] + difference[width - 1]) + difference[width - 1];
}

// One neighbour's samples of a row into the running sums and counts.
void join_row(const float* __restrict n, const float* __restrict c, const float* __restrict above,
              const float* __restrict here, const float* __restrict below, float box_limit,
              float sample_limit, int32_t width, float* __restrict s, float* __restrict m) {
  for (int32_t x = 0; x < width; ++x) {
    const float d = n[x] - c[x];
    const float box = (above[x] + here[x]) + below[x];
    // Both tests are made (no short cut), so that the loop vectorises.
    const bool joins = (box <= box_limit) & (std::fabs(d) <= sample_limit);
    s[x] = s[x] + (joins ? n[x] : 0.0f);
    m[x] = m[x] + (joins ? 1.0f : 0.0f);
  }
}

}  // namespace

void temporal_plane(float* centre, const float* const* neighbours, int32_t count, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t threshold, const TemporalRows& scratch,
                    float* kept, float* joined) {
  // v * 9 / 16 and v / 4 are exact in single precision for v < 2^20.
  const float box_limit = static_cast<float>(threshold) * 0.5625f;
  const float sample_limit = static_cast<float>(threshold) * 0.25f;
  auto sums_of = [&](int k, int32_t r) { return scratch.sums[k][r % 3]; };
  auto fill = [&](int32_t r) {
    for (int k = 0; k < count; ++k) {
      row_sums(centre + r * stride, neighbours[k] + r * stride, width, scratch.difference,
               sums_of(k, r));
    }
  };
  fill(0);
  if (rows > 1) fill(1);
  for (int32_t r = 0; r < rows; ++r) {
    // Sums of row r + 1 are made before row r is overwritten, from the
    // centre's row r + 1 as it came.
    if (r + 1 < rows && r + 1 >= 2) fill(r + 1);
    const int32_t up = r > 0 ? r - 1 : 0;
    const int32_t down = r + 1 < rows ? r + 1 : rows - 1;
    // The running sums and counts of the row, neighbour after neighbour
    // (each sample's own order is the rule's); the centre's row is written
    // at the end.
    float* c = centre + r * stride;
    float* s = scratch.difference;
    float* m = scratch.count;
    for (int32_t x = 0; x < width; ++x) {
      s[x] = c[x];
      m[x] = 1.0f;
    }
    for (int k = 0; k < count; ++k) {
      join_row(neighbours[k] + r * stride, c, sums_of(k, up), sums_of(k, r), sums_of(k, down),
               box_limit, sample_limit, width, s, m);
    }
    for (int32_t x = 0; x < width; ++x) c[x] = s[x] / m[x];
    if (kept) {
      float* t = kept + r * stride;
      float* j = joined + r * stride;
      for (int32_t x = 0; x < width; ++x) {
        t[x] = c[x];
        j[x] = m[x];
      }
    }
  }
}

void restore_detail(float* plane, const float* kept, const float* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, const float weight[kMaxNeighbours + 2]) {
  for (int32_t r = 0; r < rows; ++r) {
    float* u = plane + r * stride;
    const float* t = kept + r * stride;
    const float* j = joined + r * stride;
    for (int32_t x = 0; x < width; ++x) {
      const float w = weight[static_cast<int32_t>(j[x])];
      u[x] = u[x] + (t[x] - u[x]) * w;
    }
  }
}

void restore_weights(int32_t restore, int32_t radius, float weight[kMaxNeighbours + 2]) {
  weight[0] = 0.0f;
  for (int32_t m = 1; m < kMaxNeighbours + 2; ++m) {
    weight[m] = radius > 0
                    ? static_cast<float>(restore * (m - 1)) / static_cast<float>(512 * radius)
                    : 0.0f;
  }
}

int32_t spatial_share_of(int32_t v, int32_t share) {
  if (v <= 0 || share == 0) return v;
  const int64_t scaled = (static_cast<int64_t>(v) * share + 128) >> 8;
  return scaled < 1 ? 1 : static_cast<int32_t>(scaled);
}

}  // namespace zolta
