// SPDX-License-Identifier: BSD-2-Clause
#include "brightness.h"

namespace zolta {

namespace {

// Where position i (a row or column index) lies between the centres of the
// cells, which are at 16 c + 7.5: the cell before it and the part of the
// way to the next (0 before the first centre and after the last). Every
// value here is exact in single precision.
struct Between {
  int32_t first, second;
  float part;
};

Between between_cells(int32_t i, int32_t cells) {
  const float at = (static_cast<float>(i) + 0.5f) * 0.0625f - 0.5f;
  if (!(at > 0.0f)) return {0, 0, 0.0f};
  const int32_t c = static_cast<int32_t>(at);
  if (c >= cells - 1) return {cells - 1, cells - 1, 0.0f};
  return {c, c + 1, at - static_cast<float>(c)};
}

inline float lerp(float a, float b, float part) {
  return a + (b - a) * part;
}

// Sample 16 c + 8 + j (j = 0..15) lies (j + 0.5) / 16 of the way from the
// centre of cell c to that of cell c + 1.
constexpr float kParts[kBrightnessCell] = {
    0.03125f, 0.09375f, 0.15625f, 0.21875f, 0.28125f, 0.34375f, 0.40625f, 0.46875f,
    0.53125f, 0.59375f, 0.65625f, 0.71875f, 0.78125f, 0.84375f, 0.90625f, 0.96875f};

}  // namespace

BrightnessCurve brightness_curve(const uint16_t values[kBrightnessBands]) {
  BrightnessCurve curve{};
  for (int32_t k = 0; k < kBrightnessBands; ++k) {
    curve.on = curve.on || values[k] != 0;
    curve.gain[k] = static_cast<float>(values[k]) / 1024.0f;
  }
  return curve;
}

float curve_gain(const BrightnessCurve& curve, float mean) {
  const float at = mean * 0.0625f - 0.5f;
  if (!(at > 0.0f)) return curve.gain[0];
  if (at >= static_cast<float>(kBrightnessBands - 1)) return curve.gain[kBrightnessBands - 1];
  const int32_t k = static_cast<int32_t>(at);
  return lerp(curve.gain[k], curve.gain[k + 1], at - static_cast<float>(k));
}

BrightnessMap brightness_map_start(float* cells, float* column_sums, int32_t n, int32_t rows) {
  return {cells, brightness_cells(n), brightness_cells(rows), column_sums, n, rows};
}

void brightness_map_add_row(BrightnessMap& map, const float* row, int32_t r) {
  const int32_t n = map.n;
  float* sums = map.column_sums;
  if (r % kBrightnessCell == 0) {
    for (int32_t x = 0; x < n; ++x) sums[x] = 0.0f + row[x];
  } else {
    for (int32_t x = 0; x < n; ++x) sums[x] = sums[x] + row[x];
  }
  if (r % kBrightnessCell != kBrightnessCell - 1 && r != map.samples_down - 1) return;
  float* cells = map.cells + (r / kBrightnessCell) * map.columns;
  for (int32_t c = 0; c < map.columns; ++c) {
    const int32_t from = c * kBrightnessCell;
    const int32_t end = from + kBrightnessCell < n ? from + kBrightnessCell : n;
    float s = 0.0f;
    for (int32_t x = from; x < end; ++x) s = s + sums[x];
    cells[c] = s;
  }
}

void brightness_map_finish(BrightnessMap& map, const BrightnessCurve& curve) {
  const int32_t n = map.n, rows = map.samples_down;
  for (int32_t cy = 0; cy < map.rows; ++cy) {
    const int32_t tall = rows - cy * kBrightnessCell < kBrightnessCell ? rows - cy * kBrightnessCell
                                                                       : kBrightnessCell;
    for (int32_t cx = 0; cx < map.columns; ++cx) {
      const int32_t wide =
          n - cx * kBrightnessCell < kBrightnessCell ? n - cx * kBrightnessCell : kBrightnessCell;
      float& cell = map.cells[cy * map.columns + cx];
      cell = curve_gain(curve, cell / static_cast<float>(tall * wide));
    }
  }
}

void brightness_gain_row(const BrightnessMap& map, int32_t r, int32_t first, int32_t count,
                         float* out) {
  const Between y = between_cells(r, map.rows);
  const float* above = map.cells + y.first * map.columns;
  const float* below = map.cells + y.second * map.columns;
  auto column = [&](int32_t c) { return lerp(above[c], below[c], y.part); };
  // Segment by segment what between_cells gives: before the first centre
  // the first cell's gain, after the last the last's.
  const int32_t last = map.columns - 1, end = first + count;
  const int32_t half = kBrightnessCell / 2;
  for (int32_t x = first; x < end;) {
    const int32_t segment = x < half ? -1 : (x - half) / kBrightnessCell;
    if (segment < 0 || segment >= last) {
      const int32_t stop = segment < 0 && half < end ? half : end;
      const float v = column(segment < 0 ? 0 : last);
      for (; x < stop; ++x) out[x - first] = v;
      continue;
    }
    const int32_t start = segment * kBrightnessCell + half;
    const int32_t stop = start + kBrightnessCell < end ? start + kBrightnessCell : end;
    const float a = column(segment), step = column(segment + 1) - a;
    if (x == start && stop == start + kBrightnessCell) {
      // A whole segment, in a loop of fixed length that compilers vectorize.
      float* o = out + (x - first);
      for (int32_t j = 0; j < kBrightnessCell; ++j) o[j] = a + step * kParts[j];
      x = stop;
      continue;
    }
    for (; x < stop; ++x) out[x - first] = a + step * kParts[x - start];
  }
}

void brightness_gain_strip(const BrightnessMap& map, int32_t first, int32_t width, int32_t rows,
                           float* out) {
  // Samples first .. first + 7 lie between the centres of cells m - 1 and
  // m, the others between m and m + 1 (m = first / 16); a side beyond the
  // first or the last centre takes that cell's gain (a step of +0). Rows
  // go the same way, segment by segment, as between_cells gives them.
  const int32_t half = kBrightnessCell / 2, m = first / kBrightnessCell;
  const int32_t last = map.columns - 1, last_row = map.rows - 1;
  auto clamp_cell = [&](int32_t c) { return c < 0 ? 0 : (c > last ? last : c); };
  const int32_t left_a = clamp_cell(m - 1), left_b = m - 1 < 0 || m - 1 >= last ? left_a : m;
  const int32_t right_a = clamp_cell(m), right_b = m >= last ? last : m + 1;
  for (int32_t r = 0; r < rows;) {
    const int32_t segment = r < half ? -1 : (r - half) / kBrightnessCell;
    const bool inside = segment >= 0 && segment < last_row;
    const int32_t up = segment < 0 ? 0 : (inside ? segment : last_row);
    const int32_t start = segment * kBrightnessCell + half;
    int32_t stop = segment < 0 ? half : (inside ? start + kBrightnessCell : rows);
    if (stop > rows) stop = rows;
    const float* above = map.cells + up * map.columns;
    const float* below = above + (inside ? map.columns : 0);
    for (; r < stop; ++r) {
      const float part = inside ? kParts[r - start] : 0.0f;
      const float a0 = lerp(above[left_a], below[left_a], part);
      const float step0 = lerp(above[left_b], below[left_b], part) - a0;
      const float a1 = lerp(above[right_a], below[right_a], part);
      const float step1 = lerp(above[right_b], below[right_b], part) - a1;
      float* o = out + r * width;
      if (width == kBrightnessCell) {
        for (int32_t j = 0; j < half; ++j) o[j] = a0 + step0 * kParts[half + j];
        for (int32_t j = 0; j < half; ++j) o[half + j] = a1 + step1 * kParts[j];
        continue;
      }
      for (int32_t x = 0; x < width; ++x) {
        o[x] = x < half ? a0 + step0 * kParts[half + x] : a1 + step1 * kParts[x - half];
      }
    }
  }
}

}  // namespace zolta
