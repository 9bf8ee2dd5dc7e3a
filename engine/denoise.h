// The plane denoiser: a chain of up to three wavelet stages along rows, then
// along columns, for each of the three planes.
#pragma once

#include "filter_state.h"

struct LevelStage {
  int32_t exponent;  // step 2^exponent samples
  float threshold;
};

struct LevelChain {
  int32_t count;  // 0..3
  LevelStage stages[3];
};

// [plane][direction X = 0, Y = 1]
struct LevelPlan {
  LevelChain chains[3][2];
};

LevelPlan level_plan(const FilterState& state);
void denoise_planes(FilterState& state);
