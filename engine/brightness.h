/* SPDX-License-Identifier: BSD-2-Clause */
// Thresholds that follow brightness: a plane's gains per band of local
// brightness (zolta_settings' brightness_gains), the map of gains over the
// plane's cells of 16 x 16 samples, and the gain of every sample between
// the cells' centres. The map is made once per plane and frame; the row and
// the column pass read the gains of their samples from it.
#pragma once

#include <cstdint>

namespace zolta {

constexpr int32_t kBrightnessBands = 16;
constexpr int32_t kBrightnessCell = 16;

// A plane's curve: gain[k] at local brightness (k + 0.5) * 16. `on` false:
// the plane's thresholds are not scaled.
struct BrightnessCurve {
  bool on;
  float gain[kBrightnessBands];
};

// From sixteen values in 1024ths; all 0 gives a curve that is off.
BrightnessCurve brightness_curve(const uint16_t values[kBrightnessBands]);

// The curve's gain at local brightness `mean`: linear between band centres,
// the end bands' beyond them.
float curve_gain(const BrightnessCurve& curve, float mean);

// Cells along a side of `samples` samples.
inline int32_t brightness_cells(int32_t samples) {
  return (samples + kBrightnessCell - 1) / kBrightnessCell;
}

// The gains of a plane's cells, row of cells after row of cells, and while
// the map is made, each cell's sum: per column of samples the sum of its
// rows in the cell, top to bottom (`column_sums`), then of those columns,
// left to right, each sum from 0.
struct BrightnessMap {
  float* cells;
  int32_t columns, rows;  // cells
  float* column_sums;     // n floats
  int32_t n, samples_down;
};

// Starts a map for a plane of n x rows samples in `cells` (room for
// brightness_cells(n) x brightness_cells(rows) floats), with n floats of
// scratch for the columns' sums.
BrightnessMap brightness_map_start(float* cells, float* column_sums, int32_t n, int32_t rows);
// Adds row r of the plane (rows in order, each once).
void brightness_map_add_row(BrightnessMap& map, const float* row, int32_t r);
// Turns the sums into gains: each cell's mean (sum / samples) through the curve.
void brightness_map_finish(BrightnessMap& map, const BrightnessCurve& curve);

// The gains of samples [first, first + count) of row r, into `out`.
void brightness_gain_row(const BrightnessMap& map, int32_t r, int32_t first, int32_t count,
                         float* out);
// The same gains for a strip of columns [first, first + width) of every row
// (first a multiple of 16, width at most 16), row after row, `width` floats
// apart.
void brightness_gain_strip(const BrightnessMap& map, int32_t first, int32_t width, int32_t rows,
                           float* out);

}  // namespace zolta
