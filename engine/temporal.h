/* SPDX-License-Identifier: BSD-2-Clause */
// The temporal step: the centre frame's plane averaged, sample by sample,
// with the samples of its neighbour frames, each block of them taken from
// where it matches the centre's block best (motion.h). A block whose match
// is poor, brighter or darker on the whole, or differs by much in a few
// samples only (motion the search did not follow, a new object, a change
// of light, a repeating pattern matched in the wrong place) is left out,
// and so is a sample that differs from the centre's by much; a frame of
// which too few blocks match, or whose blocks are brighter or darker on the
// whole, is left out whole. The loops are plain C++ compiled once per
// instruction set (temporal_steps.h); the arithmetic is the rule of
// zolta.h, the same bits on every processor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "brightness.h"
#include "motion.h"

namespace zolta {

// The most neighbour frames of a window (radius 2).
constexpr int kMaxNeighbours = 4;

// What noise alone cannot explain, in fractions of the threshold v:
// a block matches only if the mean of its differences (neighbour less
// centre) is at most v * 3 / 128 either way (three eighths of the mean
// absolute difference v / 16 that it may have); a neighbour frame is taken
// only if at least 13 blocks in 16 off the plane's outer ring of blocks
// (where picture enters and leaves) match, found short of the search's
// bound (a search that stops at it may have met motion beyond its reach,
// where on a smooth picture under much noise many blocks still match,
// picture not theirs), and the sum of those means over them is at most
// (M + 16) v / 512 either way, M the blocks that count so
// (near v / 512 a block over many blocks, more over few, whose sum noise
// moves more; a fade of a few levels a frame at high noise settings is
// more, and averaged in it would brighten or darken the frames at a
// stream's ends, whose neighbours lie on one side). Otherwise it holds
// another scene (a cut, a flash, a fade, motion beyond the search) and is
// left out whole.
constexpr float kOffsetShare = 0.0234375f;   // 3 / 128
constexpr float kDriftShare = 0.001953125f;  // 1 / 512
constexpr int32_t kDriftSlack = 16;
constexpr int32_t kSceneShare = 13;
constexpr int32_t kSceneOutOf = 16;
// A block that matches joins only if its differences spread as noise's
// do: noise's, bell-shaped, have a mean square near pi / 2 times their
// mean absolute value squared (above twice it in fewer than one block of
// 64 samples in 1000), while where a few samples differ by much and the
// rest by little (a grid's lines, text, an edge out of place, on a clean
// picture whose settings are for much noise) it is near 1 / q times for a
// share q of the samples. Its mean square must be at most 2 mean^2 +
// (v / 64)^2, the slack for blocks that differ by next to nothing. (A
// frame's blocks that match but do not join still count for its scene.)
constexpr float kSpreadRatio = 2.0f;
constexpr float kSpreadSlackShare = 0.015625f;  // 1 / 64
// Where the plane's thresholds follow brightness (a curve that is on), the
// noise a block's samples carry is the noise of its brightness: whether it
// joins, and the limit of its samples' differences, are judged with v
// times the curve's gain at the mean of the centre's block (its samples
// summed as the block's other sums, over their count), so that a bright
// block whose noise is half the plane's peak is held to half the bounds.
// Which frames hold the centre's scene is judged with v as it is.

// Rows of scratch the step needs: per other frame a row of limits and a
// moved row, and a row of counts (bytes), each as long as the plane's rows
// or longer.
constexpr int kTemporalRowCount = 2 * kMaxNeighbours + 1;

struct TemporalRows {
  float* limits[kMaxNeighbours];
  float* moved[kMaxNeighbours];
  uint8_t* counts;  // where no counts are asked for
};

// Asked for rows of the window's planes as the step reaches them: before
// it reads a row it asks for all rows up to it (`rows` counts from the
// first), so that they arrive while they are still in the cache.
struct RowsReady {
  void (*fill)(const void* context, int32_t rows);
  const void* context;
};

// Writes the step's result for `centre` (width x rows, rows `stride` floats
// apart) to `result` (the same stride); `neighbours` are the planes of the
// other frames of the window in the rule's order, with the same stride, and
// `matches` their block matches (blocks_along(width) x blocks_along(rows)
// each, written here). `threshold` is the public value v (1..4095), and
// `curve` (null: none) how the plane's noise follows brightness. With
// `kept` (a plane of the same stride) the result is written there too; with
// `joined` (bytes, rows `stride` bytes apart) the number of frames averaged
// (1..count + 1); with `ready`, the planes are filled as the step goes.
// Returns how many of the other frames were taken (those that hold the
// centre's scene, above).
int32_t temporal_plane(const float* centre, float* result, const float* const* neighbours,
                       BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                       int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                       const TemporalRows& scratch, float* kept = nullptr,
                       uint8_t* joined = nullptr, const RowsReady* ready = nullptr);

// The window's planes of an 8-bit stream as its frames hold them: the
// centre's first, then the other frames' in the rule's order, each with its
// own stride in bytes. Their float planes hold exactly these values, so the
// step reads the bytes (a quarter of the memory) and gives the same bits.
struct BytePlanes {
  const uint8_t* plane[kMaxNeighbours + 1];
  ptrdiff_t stride[kMaxNeighbours + 1];
};

// temporal_plane over such planes (no rows to ask for: the frames are
// there); the result, `kept` and `joined` with rows `stride` apart.
int32_t temporal_plane_bytes(const BytePlanes& window, int32_t count, float* result,
                             ptrdiff_t stride, BlockMatch* const* matches, int32_t width,
                             int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                             const TemporalRows& scratch, float* kept = nullptr,
                             uint8_t* joined = nullptr);

// A plane's step over an 8-bit window after its blocks are matched, for the
// result to be made row by row where the spatial step reads it (and again
// strip by strip where the detail is given back) instead of kept in a
// plane: the centre and the other frames taken, with their matches.
// Per block of a frame taken: where its samples lie from the block's own
// place (bytes), and the largest difference |n - c| of a sample that joins,
// an integer (-1 where the block does not join).
struct BlockStep {
  ptrdiff_t shift;
  int32_t reach;
};

struct ByteAveraging {
  BytePlanes taken;                        // the centre first
  const BlockStep* steps[kMaxNeighbours];  // block by block, row by row
  int32_t used;
  int32_t across;  // blocks in a row
};

// The first half of temporal_plane_bytes: matches the blocks and keeps in
// `averaging` the frames that hold the centre's scene, with their blocks'
// steps in `room` (count x blocks_along(width) x blocks_along(rows)
// records). Returns how many frames are taken.
int32_t temporal_judge_bytes(const BytePlanes& window, int32_t count, BlockMatch* const* matches,
                             int32_t width, int32_t rows, int32_t threshold,
                             const BrightnessCurve* curve, BlockStep* room,
                             ByteAveraging& averaging);
// Row `row` of the step's result (`width` samples), as temporal_plane_bytes
// writes it; with `packed`, per sample the sum s of the frames' samples
// averaged (an integer) and their count m as s * 8 + m, which the detail
// given back needs (the result is s / m).
void temporal_row_bytes(const ByteAveraging& averaging, int32_t row, int32_t width, float* out,
                        uint16_t* packed);
// restore_strip with t and m read from such a plane (rows `stride` apart,
// from the strip's first column).
void restore_strip_packed(const float* strip, const uint16_t* packed, ptrdiff_t stride,
                          int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out);

// The detail given back: u + (t - u) * w for every sample, u in `plane`, t
// in `kept`, m in `joined` (1..5, bytes, rows `stride` bytes apart),
// w = (float)(q (m - 1)) / (float)(512 R) with q = `restore` and R = `radius`
// (1 or 2).
void restore_detail(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t restore, int32_t radius);
// The same over a strip of `width` columns (u: `rows` rows `width` floats
// apart; kept and joined from the strip's first column) into `out`, laid
// out as the strip.
void restore_strip(const float* strip, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                   int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out);

// A spatial threshold under the temporal step: max(1, (v * share + 128) >> 8)
// for v > 0; share 0 means 256.
int32_t spatial_share_of(int32_t v, int32_t share);

// The share of a window with `count` other frames (of 2 radius): the full
// share with all of them, less of a cut with fewer (the ends of a stream):
// 256 - ((256 - share) * count) / (2 radius), share 0 counting as 256.
int32_t window_share(int32_t share, int32_t count, int32_t radius);

}  // namespace zolta
