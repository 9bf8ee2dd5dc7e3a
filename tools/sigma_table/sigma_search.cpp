// SPDX-License-Identifier: BSD-2-Clause
#include "sigma_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

// Axis ranges: base 0 (every level off) and 8 .. 4095 (74 steps), level
// fractions 0 .. 1.5, columns 0.5 .. 1.5, chroma 0.5 .. 5.
constexpr int kSteps[kGridAxes] = {74, 31, 31, 21, 46};

int clamp_index(int axis, int index) {
  return index < 0 ? 0 : index >= kSteps[axis] ? kSteps[axis] - 1 : index;
}

int32_t threshold(double value) {
  const double v = std::nearbyint(value);
  return v > ZOLTA_THRESHOLD_MAX ? ZOLTA_THRESHOLD_MAX : static_cast<int32_t>(v);
}

int nearest_index(int axis, double value) {
  int best = 0;
  for (int i = 1; i < kSteps[axis]; ++i) {
    if (std::fabs(grid_value(axis, i) - value) < std::fabs(grid_value(axis, best) - value)) {
      best = i;
    }
  }
  return best;
}

}  // namespace

int grid_steps(int axis) {
  return kSteps[axis];
}

double grid_value(int axis, int index) {
  switch (axis) {
    case kBase:
      if (index == 0) return 0.0;
      return std::min(8.0 * std::exp2((index - 1) / 8.0), double{ZOLTA_THRESHOLD_MAX});
    case kLevel1:
    case kLevel2:
      return 0.05 * index;
    case kColumns:
      return 0.5 + 0.05 * index;
    default:
      return 0.5 + 0.1 * index;
  }
}

zolta_settings grid_settings(const GridPoint& point) {
  zolta_settings settings{};  // every threshold 0, the normal view
  settings.enabled = 1;
  const double base = grid_value(kBase, point.index[kBase]);
  const double levels[3] = {1.0, grid_value(kLevel1, point.index[kLevel1]),
                            grid_value(kLevel2, point.index[kLevel2])};
  const double directions[2] = {1.0, grid_value(kColumns, point.index[kColumns])};
  const double planes[3] = {1.0, grid_value(kChroma, point.index[kChroma]),
                            grid_value(kChroma, point.index[kChroma])};
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) {
        settings.thresholds[p][d][l] = threshold(base * levels[l] * directions[d] * planes[p]);
      }
    }
  }
  return settings;
}

GridPoint grid_point_near(double base, double level1, double level2, double columns,
                          double chroma) {
  const double values[kGridAxes] = {base, level1, level2, columns, chroma};
  GridPoint point;
  for (int a = 0; a < kGridAxes; ++a) point.index[a] = nearest_index(a, values[a]);
  return point;
}

GridPoint grid_point_for(const zolta_settings& settings) {
  const auto& y = settings.thresholds[0];
  const double base = y[0][0];
  if (base <= 0) return grid_point_near(0, 0, 0, 1, 1);
  return grid_point_near(base, y[0][1] / base, y[0][2] / base, y[1][0] / base,
                         settings.thresholds[1][0][0] / base);
}

SearchResult search_grid(const GridPoint& start, int window,
                         const std::function<double(const zolta_settings&)>& score) {
  std::map<std::vector<int>, double> seen;
  SearchResult result;
  auto evaluate = [&](const GridPoint& p) {
    const std::vector<int> key(p.index, p.index + kGridAxes);
    auto it = seen.find(key);
    if (it != seen.end()) return it->second;
    ++result.evaluations;
    return seen[key] = score(grid_settings(p));
  };
  result.point = start;
  for (int a = 0; a < kGridAxes; ++a) result.point.index[a] = clamp_index(a, start.index[a]);
  result.score = evaluate(result.point);
  for (bool moved = true; moved;) {
    moved = false;
    for (int a = 0; a < kGridAxes; ++a) {
      GridPoint trial = result.point;
      const int centre = result.point.index[a];
      const int first = window > 0 ? clamp_index(a, centre - window) : 0;
      const int last = window > 0 ? clamp_index(a, centre + window) : kSteps[a] - 1;
      for (int i = first; i <= last; ++i) {
        trial.index[a] = i;
        const double s = evaluate(trial);
        if (s > result.score) {
          result.score = s;
          result.point = trial;
          moved = true;
        }
      }
    }
  }
  return result;
}

std::string grid_point_text(const GridPoint& point) {
  char text[160];
  std::snprintf(
      text, sizeof text, "base %.0f, level 1 %.2f, level 2 %.2f, columns %.2f, chroma %.1f",
      grid_value(kBase, point.index[kBase]), grid_value(kLevel1, point.index[kLevel1]),
      grid_value(kLevel2, point.index[kLevel2]), grid_value(kColumns, point.index[kColumns]),
      grid_value(kChroma, point.index[kChroma]));
  return text;
}
