/* SPDX-License-Identifier: BSD-2-Clause */
// The small family of settings that the noise-level table is chosen from,
// and the search over its grid.
//
// A point of the grid has five coordinates:
//   base     the luma threshold of level 0 along rows: 0 (every level off),
//            or on a geometric scale 8 * 2^(k / 8), neighbours about 9 % apart;
//   level1   the luma threshold of level 1 as a fraction of level 0;
//   level2   the same for level 2 (0 turns the level off);
//   columns  the threshold along columns as a fraction of the one along rows;
//   chroma   the Cb and Cr thresholds as a multiple of the luma ones.
// Fractions and multiples move in steps of 0.05 and 0.1. Every threshold is
// rounded to an integer and capped at the public interface's 4095.
#pragma once

#include <functional>
#include <string>

#include "zolta.h"

enum GridAxis { kBase, kLevel1, kLevel2, kColumns, kChroma, kGridAxes };

struct GridPoint {
  int index[kGridAxes];
};

// Number of steps on each axis.
int grid_steps(int axis);
// The value of step `index` on an axis (base: the threshold; the others: the
// fraction or multiple).
double grid_value(int axis, int index);
// The eighteen thresholds of a grid point; every other setting is the default.
zolta_settings grid_settings(const GridPoint& point);
// The grid point nearest to a luma level-0 threshold and the given fractions.
GridPoint grid_point_near(double base, double level1, double level2, double columns, double chroma);
// The grid point nearest to given settings, read from their luma level-0
// threshold along rows and its ratios to the others.
GridPoint grid_point_for(const zolta_settings& settings);

struct SearchResult {
  GridPoint point;
  double score = 0;  // the best score found
  int evaluations = 0;
};

// Coordinate search: from `start`, the steps of one axis in turn with the
// others held (all of them, or those within `window` steps of the current
// point when window > 0), moving to the best; rounds until a whole round finds
// nothing better. `score` is maximised (PSNR in dB); each point is scored once.
SearchResult search_grid(const GridPoint& start, int window,
                         const std::function<double(const zolta_settings&)>& score);

// "base 160, level 1 0.40, level 2 0.20, columns 1.00, chroma 2.0"
std::string grid_point_text(const GridPoint& point);
