/* SPDX-License-Identifier: BSD-2-Clause */
// The noise of consecutive frames of one stream. Texture repeats from one
// frame to the next, also where it moves by a few samples; noise does not.
// So where a block of one frame is found again in the next, their difference
// holds only the noise of both, of standard deviation sigma * sqrt(2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream_format.h"

namespace zolta {

// Blocks of kNoiseBlock x kNoiseBlock samples of a plane are looked for in the
// next frame up to kNoiseReach samples away in each direction.
constexpr int32_t kNoiseBlock = 16;
constexpr int32_t kNoiseReach = 4;
// Fewer blocks found again than this leave the one-frame estimate alone.
constexpr size_t kNoiseMinBlocks = 8;

// Appends to `energies`, for every block of plane `a` (w x h) that lies at
// least kNoiseReach samples inside the plane, the mean square of b - a over
// the block's odd rows, at the displacement into `b` (the same plane of the
// next frame, same stride) whose even rows differ least: the zero
// displacement on a tie, otherwise the first in rows then columns from
// -kNoiseReach. The choice is made on one half of the rows and measured on
// the other so that it cannot favour the noise. Blocks whose odd rows agree
// exactly (a frame or a block given twice) are left out.
// The displacement of the block at (x, y) of `a` into `b` that
// block_differences chooses, and the mean square of b - a over the block's
// odd rows there (0 when they agree exactly).
struct NoiseMatch {
  int32_t dx, dy;
  float energy;
};
NoiseMatch match_noise_block(const float* a, const float* b, ptrdiff_t stride, int32_t x,
                             int32_t y);

void block_differences(const float* a, const float* b, ptrdiff_t stride, int32_t w, int32_t h,
                       std::vector<float>& energies);

// Checks that each of `count` frames is given and fits the stream; the
// error names the frame.
int check_frames(const StreamLayout& layout, const zolta_frame* const* frames, int32_t count,
                 zolta_error* error);

// sigma per plane (Y, Cb, Cr; RGB as Y, Cb, Cr) on the 8-bit scale from
// `count` consecutive frames: the median over the frames of estimate_noise's
// value (the upper one of an even count), or, where that is larger and at
// least kNoiseMinBlocks blocks were found again, sqrt(m / 2), m the median of
// every pair's block_differences. One frame gives estimate_noise's values.
// The frames are checked as zolta_noise_estimate checks its one frame.
int estimate_noise_frames(const StreamLayout& layout, const zolta_frame* const* frames,
                          int32_t count, float sigma[3], zolta_error* error);

}  // namespace zolta
