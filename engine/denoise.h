// The plane denoiser: a chain of up to three wavelet stages along rows, then
// along columns, for each plane.
#pragma once

#include <cstddef>

#include "filter_state.h"

struct DspKernels;

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

// The chains of eighteen thresholds ([plane][X0, Y0, X1, Y1, X2, Y2]); a
// threshold v is v / 16, 0 drops its level. `wide_chroma`: the chroma planes
// have the luma's width, and their steps along rows are twice the luma's, so
// that a level spans the same distance in pixels as with subsampled chroma.
LevelPlan level_plan_for(const int32_t thresholds[3][6], bool wide_chroma);
LevelPlan level_plan(const FilterState& state);
void denoise_planes(FilterState& state);

// Scratch rows of one plane pass, in the order they lie in their block.
struct ScratchRows {
  float* column_rows[4];
  float* out_row;
  float* approx[3];
  float* detail[3];
};

constexpr int kScratchRowCount = 11;
// Floats in front of every scratch row (room for the periodic extension).
constexpr int kScratchRowLead = 256;
// Eleven rows `slot` floats apart from `base`, each kScratchRowLead floats in.
// A slot of line + 512 floats holds a line of `line` samples.
ScratchRows scratch_rows_at(float* base, ptrdiff_t slot);

// Denoises one plane of n samples by `rows` rows (both multiples of 4), rows
// `stride` floats apart, 16-byte aligned, with at least 8 floats of room in
// front of the first row and behind every row. `high`: the plane becomes its
// amplified detail (the High view).
void denoise_plane(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const ScratchRows& s);
