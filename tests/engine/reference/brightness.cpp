// SPDX-License-Identifier: BSD-2-Clause
// Thresholds that follow brightness, from their definition: the mean of
// every cell of 16 x 16 samples, the gain of the sixteen bands at it, and
// each sample's gain between the centres of the cells around it.
#include <vector>

#include "reference.h"

namespace ref {

float band_gain(const uint16_t gains[16], float m) {
  const float place = m / 16.0f - 0.5f;
  if (place <= 0.0f || place != place) return float(gains[0]) / 1024.0f;
  if (place >= 15.0f) return float(gains[15]) / 1024.0f;
  const int k = int(place);
  const float low = float(gains[k]) / 1024.0f, high = float(gains[k + 1]) / 1024.0f;
  return low + (high - low) * (place - float(k));
}

namespace {

// Cell k's centre is at 16 k + 7.5; position i between centres a and a + 1.
void place_between(int32_t i, int32_t cells, int32_t& a, int32_t& b, float& part) {
  const float place = (float(i) - 7.5f) / 16.0f;
  a = b = 0;
  part = 0.0f;
  if (place <= 0.0f) return;
  a = int32_t(place);
  if (a + 1 >= cells) {
    a = b = cells - 1;
    return;
  }
  b = a + 1;
  part = place - float(a);
}

}  // namespace

std::vector<float> brightness_gains(const std::vector<float>& plane, int32_t w, int32_t h,
                                    const uint16_t gains[16]) {
  bool any = false;
  for (int k = 0; k < 16; ++k) any = any || gains[k] != 0;
  if (!any) return {};
  const int32_t cw = (w + 15) / 16, ch = (h + 15) / 16;
  std::vector<float> cell(size_t(cw) * ch);
  for (int32_t cy = 0; cy < ch; ++cy) {
    for (int32_t cx = 0; cx < cw; ++cx) {
      // Down each column of the cell, then across the columns.
      float sum = 0.0f;
      int32_t count = 0;
      for (int32_t x = 16 * cx; x < 16 * cx + 16 && x < w; ++x) {
        float column_sum = 0.0f;
        for (int32_t r = 16 * cy; r < 16 * cy + 16 && r < h; ++r) {
          column_sum = column_sum + plane[size_t(r) * w + x];
          ++count;
        }
        sum = sum + column_sum;
      }
      cell[size_t(cy) * cw + cx] = band_gain(gains, sum / float(count));
    }
  }
  std::vector<float> out(size_t(w) * h);
  for (int32_t r = 0; r < h; ++r) {
    int32_t up, down;
    float fy;
    place_between(r, ch, up, down, fy);
    for (int32_t x = 0; x < w; ++x) {
      int32_t left, right;
      float fx;
      place_between(x, cw, left, right, fx);
      auto column = [&](int32_t c) {
        const float a = cell[size_t(up) * cw + c], b = cell[size_t(down) * cw + c];
        return a + (b - a) * fy;
      };
      const float l = column(left), rr = column(right);
      out[size_t(r) * w + x] = l + (rr - l) * fx;
    }
  }
  return out;
}

}  // namespace ref
