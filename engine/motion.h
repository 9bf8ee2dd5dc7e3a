/* SPDX-License-Identifier: BSD-2-Clause */
// Block matching: for every block of the centre frame's plane, the place in
// a neighbour frame's plane that looks most like it, so that what moved
// (a pan, a moving object) is averaged with itself. Plain C++ in a fixed
// order, the same on every processor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zolta {

// Blocks are kBlockSize x kBlockSize samples (smaller at the right and
// bottom edges); a block moves at most kMotionRange samples each way.
constexpr int32_t kBlockSize = 8;
constexpr int32_t kMotionRange = 24;

// Where a block was found: its displacement, the mean absolute difference
// of its samples there, the mean of their differences (neighbour less
// centre) and the mean of their squares.
struct BlockMatch {
  int32_t dx;
  int32_t dy;
  float mean;
  float offset;
  float square;
};

inline int32_t blocks_along(int32_t samples) {
  return (samples + kBlockSize - 1) / kBlockSize;
}

// Matches the blocks of block row `by` of `centre` in `neighbour` (both
// width x rows, rows `stride` floats apart). `matches` holds
// blocks_along(width) x blocks_along(rows) records, row by row; those of the
// row above are read as hints.
//
// The search, for each block from left to right: the displacements of the
// left block, the upper block and the upper right block (each once), then
// (0, 0) if not yet tried, the first with the least sum of absolute
// differences kept, until one gives a mean absolute difference of at most
// `good_enough`; then from the best the four displacements one sample away,
// moving to the best of them while it is less, at most kMotionRange times,
// unless the best's mean is at most `good_enough` and either 0 or at least
// a sixteenth of it (less comes from a picture cleaner than the settings,
// where a displacement a sample or two off passes as well). A displacement
// is tried only if the block lies wholly inside the plane there. The
// best's mean, offset and square are recorded. (zolta.h gives the rule in
// full.)
void match_block_row(const float* centre, const float* neighbour, ptrdiff_t stride, int32_t width,
                     int32_t rows, int32_t by, float good_enough, BlockMatch* matches);

}  // namespace zolta
