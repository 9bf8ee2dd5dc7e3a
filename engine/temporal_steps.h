/* SPDX-License-Identifier: BSD-2-Clause */
// The loops of block matching, of the temporal step and of the detail given
// back, in plain C++ that the compiler vectorises. Every operation works on
// one sample or one column of a block, and sums run in a fixed order, so
// the results are the same bits however wide the vectors are. Included by
// the baseline file and by the files compiled for wider instruction sets;
// internal linkage keeps each copy with the code it was compiled for.
#pragma once

#include <cmath>
#include <cstring>

#include "motion.h"
#include "temporal.h"

namespace zolta {

namespace {

namespace steps {

float sum_columns(const float acc[kBlockSize]) {
  return ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
}

// The terms of a block's sums over float samples: |n - c|, n - c and
// (n - c)^2.
struct AbsoluteTerm {
  static float of(float n, float c) { return std::fabs(n - c); }
};
struct DifferenceTerm {
  static float of(float n, float c) { return n - c; }
};
struct SquareTerm {
  static float of(float n, float c) { return (n - c) * (n - c); }
};

// The sum of a term over a block, by columns (each top to bottom, then
// sum_columns); the whole block with a fixed count the compiler unrolls and
// vectorises.
template <typename Term>
float full_block_sum(const float* __restrict c, ptrdiff_t cs, const float* __restrict n,
                     ptrdiff_t ns) {
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < kBlockSize; ++r) {
    for (int32_t x = 0; x < kBlockSize; ++x) acc[x] += Term::of(n[x], c[x]);
    c += cs;
    n += ns;
  }
  return sum_columns(acc);
}

template <typename Term>
float block_sum(const float* centre, ptrdiff_t cs, const float* neighbour, ptrdiff_t ns,
                int32_t block_width, int32_t block_rows) {
  if (block_width == kBlockSize && block_rows == kBlockSize) {
    return full_block_sum<Term>(centre, cs, neighbour, ns);
  }
  float acc[kBlockSize] = {};
  for (int32_t r = 0; r < block_rows; ++r) {
    for (int32_t x = 0; x < block_width; ++x) {
      acc[x] += Term::of(neighbour[r * ns + x], centre[r * cs + x]);
    }
  }
  return sum_columns(acc);
}

float full_block_difference(const float* c, ptrdiff_t cs, const float* n, ptrdiff_t ns) {
  return full_block_sum<AbsoluteTerm>(c, cs, n, ns);
}
float block_difference(const float* centre, ptrdiff_t cs, const float* neighbour, ptrdiff_t ns,
                       int32_t block_width, int32_t block_rows) {
  return block_sum<AbsoluteTerm>(centre, cs, neighbour, ns, block_width, block_rows);
}
float block_offset(const float* centre, ptrdiff_t cs, const float* neighbour, ptrdiff_t ns,
                   int32_t block_width, int32_t block_rows) {
  return block_sum<DifferenceTerm>(centre, cs, neighbour, ns, block_width, block_rows);
}
float block_squares(const float* centre, ptrdiff_t cs, const float* neighbour, ptrdiff_t ns,
                    int32_t block_width, int32_t block_rows) {
  return block_sum<SquareTerm>(centre, cs, neighbour, ns, block_width, block_rows);
}

// The same sums over the bytes of an 8-bit stream, whose float samples are
// the bytes' values: every partial sum of a block (at most 64 x 255) is an
// integer that single precision holds exactly, so summing in integers, in
// any order, gives the float rule's bits. The x86 files bring their own
// whole-block sums (x86/byte_blocks.h); these are the plain ones.
// The step's samples over bytes: a sample n joins where |n - c| <= u / 4
// (u the threshold of its block), which for integers is |n - c| <= reach,
// reach the integer part of u / 4 (at most 255, -1 where the block does
// not join). s = c plus the samples that join and m = 1 plus their count
// are integers below 2^24 however they are summed, so s / m in floats is the
// float rule's result; s * 8 + m (s at most 5 x 255, m at most 5) fits in
// 16 bits for the detail given back.
// Samples [0, n) of a block's row so: from[k] the other frames' samples
// (k < used), reach[k] their reaches.
inline void average_samples(const uint8_t* c, const uint8_t* const* from, const int32_t* reach,
                            int32_t used, int32_t n, float* out, uint16_t* packed) {
  for (int32_t x = 0; x < n; ++x) {
    const int32_t cx = c[x];
    int32_t s = cx, m = 1;
    for (int32_t k = 0; k < used; ++k) {
      const int32_t d = from[k][x] - cx;
      const bool joins = (d < 0 ? -d : d) <= reach[k];
      s += joins ? from[k][x] : 0;
      m += joins ? 1 : 0;
    }
    out[x] = static_cast<float>(s) / static_cast<float>(m);
    if (packed) packed[x] = static_cast<uint16_t>(s * 8 + m);
  }
}

// The terms of d = n - c summed over blocks of bytes: |d|, d and d^2.
struct AbsoluteBytes {
  static int32_t of(int32_t d) { return d < 0 ? -d : d; }
};
struct DifferenceBytes {
  static int32_t of(int32_t d) { return d; }
};
struct SquareBytes {
  static int32_t of(int32_t d) { return d * d; }
};

#if !defined(ZOLTA_BYTE_BLOCKS)
namespace bytes {

// The sum of a term of d = n - c over an 8 x 8 block of bytes.
template <typename Term>
int32_t block_sum(const uint8_t* __restrict c, ptrdiff_t cs, const uint8_t* __restrict n,
                  ptrdiff_t ns) {
  int32_t sum = 0;
  for (int32_t r = 0; r < kBlockSize; ++r) {
    for (int32_t x = 0; x < kBlockSize; ++x) {
      sum += Term::of(static_cast<int32_t>(n[x]) - static_cast<int32_t>(c[x]));
    }
    c += cs;
    n += ns;
  }
  return sum;
}

int32_t block_sad(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns) {
  return block_sum<AbsoluteBytes>(c, cs, n, ns);
}
// The sums of n - c and of (n - c)^2 over an 8 x 8 block.
void block_moments(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns, int32_t* sum,
                   int32_t* squares) {
  *sum = block_sum<DifferenceBytes>(c, cs, n, ns);
  *squares = block_sum<SquareBytes>(c, cs, n, ns);
}

void to_floats8(const uint8_t* __restrict from, float* __restrict to) {
  for (int32_t x = 0; x < kBlockSize; ++x) to[x] = static_cast<float>(from[x]);
}

// A block's row of the step's result (average_samples).
void average_block(const uint8_t* c, const uint8_t* const* from, const int32_t* reach, int32_t used,
                   float* out, uint16_t* packed) {
  average_samples(c, from, reach, used, kBlockSize, out, packed);
}

}  // namespace bytes
#endif

// Two neighbouring blocks' rows: from[k] and reach[k] for the first,
// from[kMaxNeighbours + k] and reach[kMaxNeighbours + k] for the second.
inline void average_two_blocks(const uint8_t* c, const uint8_t* const* from, const int32_t* reach,
                               int32_t used, float* out, uint16_t* packed) {
#if defined(ZOLTA_TWO_BLOCKS)
  bytes::average_two_blocks(c, from, reach, used, out, packed);
#else
  bytes::average_block(c, from, reach, used, out, packed);
  bytes::average_block(c + kBlockSize, from + kMaxNeighbours, reach + kMaxNeighbours, used,
                       out + kBlockSize, packed ? packed + kBlockSize : nullptr);
#endif
}

float full_block_difference(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns) {
  return static_cast<float>(bytes::block_sad(c, cs, n, ns));
}

// A term's sum over a block of bytes narrower or shorter than kBlockSize:
// every partial sum (at most 64 x 255^2) is an integer below 2^24, exact in
// single precision, so the integer sum is the float rule's value.
template <typename Term>
float partial_block_sum(const uint8_t* centre, ptrdiff_t cs, const uint8_t* neighbour,
                        ptrdiff_t ns, int32_t block_width, int32_t block_rows) {
  int32_t sum = 0;
  for (int32_t r = 0; r < block_rows; ++r) {
    for (int32_t x = 0; x < block_width; ++x) {
      sum += Term::of(static_cast<int32_t>(neighbour[r * ns + x]) -
                      static_cast<int32_t>(centre[r * cs + x]));
    }
  }
  return static_cast<float>(sum);
}

float block_difference(const uint8_t* centre, ptrdiff_t cs, const uint8_t* neighbour, ptrdiff_t ns,
                       int32_t block_width, int32_t block_rows) {
  return partial_block_sum<AbsoluteBytes>(centre, cs, neighbour, ns, block_width, block_rows);
}
float block_offset(const uint8_t* centre, ptrdiff_t cs, const uint8_t* neighbour, ptrdiff_t ns,
                   int32_t block_width, int32_t block_rows) {
  return partial_block_sum<DifferenceBytes>(centre, cs, neighbour, ns, block_width, block_rows);
}
float block_squares(const uint8_t* centre, ptrdiff_t cs, const uint8_t* neighbour, ptrdiff_t ns,
                    int32_t block_width, int32_t block_rows) {
  return partial_block_sum<SquareBytes>(centre, cs, neighbour, ns, block_width, block_rows);
}

// A block's sums of differences and of their squares: over floats by
// columns (block_sum); over bytes in integers, a whole block's in one pass.
void block_moments(const float* c, ptrdiff_t cs, const float* n, ptrdiff_t ns, int32_t block_width,
                   int32_t block_rows, float* sum, float* squares) {
  *sum = block_offset(c, cs, n, ns, block_width, block_rows);
  *squares = block_squares(c, cs, n, ns, block_width, block_rows);
}

void block_moments(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns,
                   int32_t block_width, int32_t block_rows, float* sum, float* squares) {
  if (block_width == kBlockSize && block_rows == kBlockSize) {
    int32_t s = 0, q = 0;
    bytes::block_moments(c, cs, n, ns, &s, &q);
    *sum = static_cast<float>(s);
    *squares = static_cast<float>(q);
  } else {
    *sum = block_offset(c, cs, n, ns, block_width, block_rows);
    *squares = block_squares(c, cs, n, ns, block_width, block_rows);
  }
}

// A plane of the window as the step reads it: floats on the 8-bit scale, or
// an 8-bit stream's bytes, rows `stride` samples apart.
template <typename T>
struct SamplePlane {
  const T* at;
  ptrdiff_t stride;
};

template <typename T>
struct Search {
  const T* centre;     // the block's first sample
  int32_t bw;          // its width
  const T* neighbour;  // the neighbour's sample at the block's place
  int32_t bh;          // and rows
  ptrdiff_t cs, ns;    // their strides
  // The displacements that keep the block inside the plane and the range.
  int32_t low_dx, high_dx, low_dy, high_dy;
  bool whole;  // bw and bh kBlockSize
  int32_t best_dx, best_dy;
  float best;

  Search(SamplePlane<T> c, SamplePlane<T> n, int32_t x0, int32_t y0, int32_t width, int32_t rows)
      : cs(c.stride), ns(n.stride), best_dx(0), best_dy(0), best(INFINITY) {
    centre = c.at + y0 * cs + x0;
    neighbour = n.at + y0 * ns + x0;
    bw = width - x0 < kBlockSize ? width - x0 : kBlockSize;
    bh = rows - y0 < kBlockSize ? rows - y0 : kBlockSize;
    whole = bw == kBlockSize && bh == kBlockSize;
    low_dx = -x0 > -kMotionRange ? -x0 : -kMotionRange;
    high_dx = width - bw - x0 < kMotionRange ? width - bw - x0 : kMotionRange;
    low_dy = -y0 > -kMotionRange ? -y0 : -kMotionRange;
    high_dy = rows - bh - y0 < kMotionRange ? rows - bh - y0 : kMotionRange;
  }

  bool fits(int32_t dx, int32_t dy) const {
    return dx >= low_dx && dx <= high_dx && dy >= low_dy && dy <= high_dy;
  }

  // Tries a displacement; true if it is the new best.
  bool attempt(int32_t dx, int32_t dy) {
    if (!fits(dx, dy)) return false;
    const T* n = neighbour + dy * ns + dx;
    const float sad = whole ? full_block_difference(centre, cs, n, ns)
                            : steps::block_difference(centre, cs, n, ns, bw, bh);
    if (sad < best) {
      best = sad;
      best_dx = dx;
      best_dy = dy;
      return true;
    }
    return false;
  }

  // A sum over the block's samples divided by their count: for a whole
  // block the multiplication by 1 / 64, which is exact and the same bits.
  float per_sample(float sum) const {
    return whole ? sum * (1.0f / (kBlockSize * kBlockSize))
                 : sum / static_cast<float>(bw * bh);
  }
};

// Whether a block's least difference so far ends the descent: at most what
// is good enough, and 0 or at least a sixteenth of it. A difference below
// a sixteenth is far below what the noise the settings are for gives: the
// picture is cleaner, and a displacement a sample or two off would pass
// too and be taken on by the blocks after; there only a least difference
// ends the search. (Times 16 is exact, as is a sixteenth.)
inline bool ends_search(float best, float enough) {
  return best <= enough && (best == 0.0f || best * 16.0f >= enough);
}

template <typename T>
void match_block_row(SamplePlane<T> centre, SamplePlane<T> neighbour, int32_t width, int32_t rows,
                     int32_t by, float good_enough, BlockMatch* matches) {
  const int32_t across = blocks_along(width);
  for (int32_t bx = 0; bx < across; ++bx) {
    Search<T> s(centre, neighbour, bx * kBlockSize, by * kBlockSize, width, rows);
    const float enough = good_enough * static_cast<float>(s.bw * s.bh);
    BlockMatch* here = matches + by * across + bx;
    // The hints in order, each displacement once (as keys dy * 64 + dx),
    // then (0, 0) unless among them.
    int32_t tried[3];
    int32_t count = 0;
    const auto hint = [&](const BlockMatch& m) {
      const int32_t key = m.dy * 64 + m.dx;
      for (int32_t j = 0; j < count; ++j) {
        if (tried[j] == key) return;
      }
      tried[count++] = key;
      s.attempt(m.dx, m.dy);
    };
    if (bx > 0) hint(here[-1]);
    if (by > 0) {
      if (!(s.best <= enough)) hint(here[-across]);
      if (bx + 1 < across && !(s.best <= enough)) hint(here[1 - across]);
    }
    bool zero_tried = false;
    for (int32_t j = 0; j < count; ++j) zero_tried = zero_tried || tried[j] == 0;
    if (!zero_tried && !(s.best <= enough)) s.attempt(0, 0);
    for (int32_t step = 0; step < kMotionRange && !ends_search(s.best, enough); ++step) {
      const int32_t dx = s.best_dx, dy = s.best_dy;
      bool moved_on = s.attempt(dx - 1, dy);
      moved_on = s.attempt(dx + 1, dy) || moved_on;
      moved_on = s.attempt(dx, dy - 1) || moved_on;
      moved_on = s.attempt(dx, dy + 1) || moved_on;
      if (!moved_on) break;
    }
    here->dx = s.best_dx;
    here->dy = s.best_dy;
    // (0, 0) always fits, so the best is finite.
    here->mean = s.per_sample(s.best);
    const T* found = s.neighbour + s.best_dy * s.ns + s.best_dx;
    float offset, squares;
    block_moments(s.centre, s.cs, found, s.ns, s.bw, s.bh, &offset, &squares);
    here->offset = s.per_sample(offset);
    here->square = s.per_sample(squares);
  }
}

// One neighbour's row into the running sums and counts: a sample joins where
// |n - c| <= limit (a negative limit: never).
// A row of the step with K other frames: per sample s = c, m = 1, then for
// each frame in order s = s + (joins ? n : 0), m = m + (joins ? 1 : 0) with
// joins = |n - c| <= limit (a negative limit: never); the result s / m and
// the count m.
template <int K, typename T>
void join_rows(const T* __restrict c, const float* const* moved, const float* const* limits,
               int32_t width, float* __restrict out, uint8_t* __restrict joined) {
  const float* __restrict n0 = moved[0];
  const float* __restrict n1 = moved[K > 1 ? 1 : 0];
  const float* __restrict n2 = moved[K > 2 ? 2 : 0];
  const float* __restrict n3 = moved[K > 3 ? 3 : 0];
  const float* __restrict l0 = limits[0];
  const float* __restrict l1 = limits[K > 1 ? 1 : 0];
  const float* __restrict l2 = limits[K > 2 ? 2 : 0];
  const float* __restrict l3 = limits[K > 3 ? 3 : 0];
  for (int32_t x = 0; x < width; ++x) {
    const float cx = static_cast<float>(c[x]);
    float s = cx, m = 1.0f;
    bool joins = std::fabs(n0[x] - cx) <= l0[x];
    s = s + (joins ? n0[x] : 0.0f);
    m = m + (joins ? 1.0f : 0.0f);
    if (K > 1) {
      joins = std::fabs(n1[x] - cx) <= l1[x];
      s = s + (joins ? n1[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    if (K > 2) {
      joins = std::fabs(n2[x] - cx) <= l2[x];
      s = s + (joins ? n2[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    if (K > 3) {
      joins = std::fabs(n3[x] - cx) <= l3[x];
      s = s + (joins ? n3[x] : 0.0f);
      m = m + (joins ? 1.0f : 0.0f);
    }
    out[x] = s / m;
    joined[x] = static_cast<uint8_t>(m);
  }
}

// The bounds a block's match is held to (temporal.h).
struct MatchLimits {
  float mean;    // of the absolute differences, v / 16
  float offset;  // of the differences, either way, v * 3 / 128
  float slack;   // squared, (v / 64)^2
};

// Those of a threshold v, and the limit of a sample's difference, v / 4.
// v / 16, v * 3 / 128, v / 64 and v / 4 are exact in single precision for
// v < 2^20 (a whole v).
MatchLimits match_limits(float v) {
  const float slack = v * kSpreadSlackShare;
  return {v * 0.0625f, v * kOffsetShare, slack * slack};
}
float sample_limit_of(float v) {
  return v * 0.25f;
}

// Whether a block's match holds the centre's picture: its mean absolute
// difference and its mean difference (either way) within their limits.
// The scene test counts these blocks.
bool block_matches(const BlockMatch& m, const MatchLimits& l) {
  return m.mean <= l.mean && std::fabs(m.offset) <= l.offset;
}

// Whether a block found where it matches counts for the frame's scene: not
// at the search's bound either way, where the search may have stopped on
// motion beyond its reach (a fast pan, where many blocks match picture
// that is not theirs when the picture is smooth and the noise much).
bool counts_for_scene(const BlockMatch& m, const MatchLimits& l) {
  return block_matches(m, l) && m.dx > -kMotionRange && m.dx < kMotionRange &&
         m.dy > -kMotionRange && m.dy < kMotionRange;
}

// Whether it joins: it matches, and its differences spread as noise's do,
// their mean square at most twice their mean absolute value squared plus
// the slack.
bool block_joins(const BlockMatch& m, const MatchLimits& l) {
  return block_matches(m, l) && m.square <= kSpreadRatio * (m.mean * m.mean) + l.slack;
}

// The mean of a block of the centre: per column the sum of its samples,
// top to bottom, then the columns as sum_columns adds them, over the
// block's samples (over bytes, integers that single precision holds).
float block_brightness(SamplePlane<float> centre, int32_t x0, int32_t y0, int32_t bw, int32_t bh) {
  float acc[kBlockSize] = {};
  const float* c = centre.at + y0 * centre.stride + x0;
  for (int32_t r = 0; r < bh; ++r) {
    for (int32_t x = 0; x < bw; ++x) acc[x] += c[r * centre.stride + x];
  }
  return sum_columns(acc) / static_cast<float>(bw * bh);
}

float block_brightness(SamplePlane<uint8_t> centre, int32_t x0, int32_t y0, int32_t bw,
                       int32_t bh) {
  int32_t sum = 0;
  const uint8_t* c = centre.at + y0 * centre.stride + x0;
  if (bw == kBlockSize && bh == kBlockSize) {
    for (int32_t r = 0; r < kBlockSize; ++r, c += centre.stride) {
      for (int32_t x = 0; x < kBlockSize; ++x) sum += c[x];
    }
  } else {
    for (int32_t r = 0; r < bh; ++r, c += centre.stride) {
      for (int32_t x = 0; x < bw; ++x) sum += c[x];
    }
  }
  return static_cast<float>(sum) / static_cast<float>(bw * bh);
}

// Row r of a neighbour, each block's part from where the block was found.
void moved_row(SamplePlane<float> neighbour, const BlockMatch* matches, int32_t width, int32_t r,
               float* row) {
  for (int32_t x0 = 0, b = 0; x0 < width; x0 += kBlockSize, ++b) {
    const float* from = neighbour.at + (r + matches[b].dy) * neighbour.stride + x0 + matches[b].dx;
    if (x0 + kBlockSize <= width) {
      std::memcpy(row + x0, from, sizeof(float) * kBlockSize);
    } else {
      std::memcpy(row + x0, from, sizeof(float) * static_cast<size_t>(width - x0));
    }
  }
}

// The same from bytes, each the float of its value.
void moved_row(SamplePlane<uint8_t> neighbour, const BlockMatch* matches, int32_t width, int32_t r,
               float* row) {
  int32_t x0 = 0, b = 0;
  for (; x0 + kBlockSize <= width; x0 += kBlockSize, ++b) {
    bytes::to_floats8(neighbour.at + (r + matches[b].dy) * neighbour.stride + x0 + matches[b].dx,
                      row + x0);
  }
  if (x0 < width) {
    const uint8_t* from =
        neighbour.at + (r + matches[b].dy) * neighbour.stride + x0 + matches[b].dx;
    for (int32_t x = 0; x < width - x0; ++x) row[x0 + x] = static_cast<float>(from[x]);
  }
}

// The centre's row as the result where no other frame is taken.
void copy_row(const float* c, int32_t width, float* out) {
  std::memcpy(out, c, sizeof(float) * static_cast<size_t>(width));
}

void copy_row(const uint8_t* __restrict c, int32_t width, float* __restrict out) {
  int32_t x = 0;
  for (; x + kBlockSize <= width; x += kBlockSize) bytes::to_floats8(c + x, out + x);
  for (; x < width; ++x) out[x] = static_cast<float>(c[x]);
}

// What the averaging of a plane's step needs once its blocks are matched:
// the centre, the other frames taken (those that hold its scene) with their
// matches, and the limits.
template <typename T>
struct Averaging {
  SamplePlane<T> centre;
  SamplePlane<T> taken[kMaxNeighbours];
  const BlockMatch* matches[kMaxNeighbours];
  int32_t used, across;
  int32_t width, rows;
  float threshold;               // v
  const BrightnessCurve* curve;  // null or off: v holds for every block
};

// The threshold block b (row after row of blocks) is held to: v, or with
// a curve v times its gain at the block's brightness.
template <typename T>
float block_threshold(const Averaging<T>& a, int32_t b) {
  if (!a.curve || !a.curve->on) return a.threshold;
  const int32_t x0 = (b % a.across) * kBlockSize, y0 = (b / a.across) * kBlockSize;
  const int32_t bw = a.width - x0 < kBlockSize ? a.width - x0 : kBlockSize;
  const int32_t bh = a.rows - y0 < kBlockSize ? a.rows - y0 : kBlockSize;
  return a.threshold * curve_gain(*a.curve, block_brightness(a.centre, x0, y0, bw, bh));
}

// The limit of the samples' differences of block b of taken frame k, held
// to threshold u: u / 4 where its match joins, -1 where it does not.
template <typename T>
float join_limit(const Averaging<T>& a, int32_t k, int32_t b, float u) {
  return block_joins(a.matches[k][b], match_limits(u)) ? sample_limit_of(u) : -1.0f;
}

// The reach of such a limit over bytes: an integer difference is at most
// the limit where it is at most its integer part (bytes differ by at most
// 255, so larger limits are 255); -1 where the block does not join.
inline int32_t reach_of(float limit) {
  return limit < 0.0f ? -1 : static_cast<int32_t>(limit < 255.0f ? limit : 255.0f);
}

// The limits of a row of blocks of every taken frame, each block's
// repeated over its columns.
template <typename T>
void block_limits(const Averaging<T>& a, int32_t by, float* const* limits) {
  for (int32_t x0 = 0, b = by * a.across; x0 < a.width; x0 += kBlockSize, ++b) {
    const float u = block_threshold(a, b);
    const int32_t end = x0 + kBlockSize < a.width ? x0 + kBlockSize : a.width;
    for (int32_t k = 0; k < a.used; ++k) {
      const float l = join_limit(a, k, b, u);
      for (int32_t x = x0; x < end; ++x) limits[k][x] = l;
    }
  }
}

// Matches every block of the plane in each other frame and judges which of
// them hold the centre's scene: those go into `a`, in order.
template <typename T>
void judge_plane(SamplePlane<T> centre, const SamplePlane<T>* neighbours,
                 BlockMatch* const* matches, int32_t count, int32_t width, int32_t rows,
                 int32_t threshold, const BrightnessCurve* curve, const RowsReady* ready,
                 Averaging<T>& a) {
  // v * 7 / 128 and v / 512 are exact in single precision for v < 2^20.
  const float good_enough = static_cast<float>(threshold) * 0.0546875f;
  const MatchLimits limits = match_limits(static_cast<float>(threshold));
  const float drift_limit = static_cast<float>(threshold) * kDriftShare;
  const int32_t across = blocks_along(width), down = blocks_along(rows);
  // The blocks the scene is judged on: all but the outer ring, where
  // picture enters and leaves (all on planes of fewer than three blocks
  // either way).
  const bool ring = across > 2 && down > 2;
  const int32_t blocks = ring ? (across - 2) * (down - 2) : across * down;
  // Every block matched first, counting per other frame the blocks whose
  // match holds the centre's picture.
  int32_t matching[kMaxNeighbours] = {};
  float drift[kMaxNeighbours] = {};
  for (int32_t by = 0; by * kBlockSize < rows; ++by) {
    if (ready) {
      const int32_t reach = (by + 1) * kBlockSize + kMotionRange;
      ready->fill(ready->context, reach < rows ? reach : rows);
    }
    for (int k = 0; k < count; ++k) {
      steps::match_block_row(centre, neighbours[k], width, rows, by, good_enough, matches[k]);
      if (ring && (by == 0 || by == down - 1)) continue;
      const BlockMatch* row = matches[k] + by * across;
      for (int32_t b = ring ? 1 : 0; b < (ring ? across - 1 : across); ++b) {
        const bool matches_here = counts_for_scene(row[b], limits);
        matching[k] += matches_here ? 1 : 0;
        drift[k] = drift[k] + (matches_here ? row[b].offset : 0.0f);
      }
    }
  }
  // A frame of which too few blocks match, or whose blocks are brighter or
  // darker on the whole, holds another scene (a cut, a flash, a fade,
  // motion beyond the search): it is left out whole.
  a.centre = centre;
  a.across = across;
  a.width = width;
  a.rows = rows;
  a.threshold = static_cast<float>(threshold);
  a.curve = curve;
  int32_t used = 0;
  for (int k = 0; k < count; ++k) {
    const bool one_scene =
        int64_t{matching[k]} * kSceneOutOf >= int64_t{blocks} * kSceneShare &&
        std::fabs(drift[k]) <= drift_limit * static_cast<float>(matching[k] + kDriftSlack);
    if (one_scene) {
      a.taken[used] = neighbours[k];
      a.matches[used] = matches[k];
      ++used;
    }
  }
  a.used = used;
}

// Columns [first, end) of row r of the step's result over bytes (first a
// multiple of the block size) into out[0 ..], and with `packed` the sums and
// counts (average_samples): block by block, two at a time where both are
// whole, each sample as join_rows makes it.
// K, the frames taken, a constant: the loops over them unrolled.
template <int32_t K>
void average_span_of(const ByteAveraging& a, int32_t r, int32_t first, int32_t end, float* out,
                     uint16_t* packed) {
  const uint8_t* c = a.taken.plane[0] + r * a.taken.stride[0];
  const uint8_t* row[kMaxNeighbours] = {};
  const BlockStep* block_row[kMaxNeighbours] = {};
  for (int32_t k = 0; k < K; ++k) {
    row[k] = a.taken.plane[k + 1] + r * a.taken.stride[k + 1];
    block_row[k] = a.steps[k] + (r / kBlockSize) * a.across;
  }
  for (int32_t x0 = first; x0 < end;) {
    const int32_t b = x0 / kBlockSize;
    const int32_t n = end - x0 < kBlockSize ? end - x0 : kBlockSize;
    const bool two = end - x0 >= 2 * kBlockSize;
    const uint8_t* from[2 * kMaxNeighbours] = {};
    int32_t reach[2 * kMaxNeighbours] = {};
    for (int32_t k = 0; k < K; ++k) {
      from[k] = row[k] + x0 + block_row[k][b].shift;
      reach[k] = block_row[k][b].reach;
      if (two) {
        from[kMaxNeighbours + k] = row[k] + x0 + kBlockSize + block_row[k][b + 1].shift;
        reach[kMaxNeighbours + k] = block_row[k][b + 1].reach;
      }
    }
    float* o = out + (x0 - first);
    uint16_t* j = packed ? packed + (x0 - first) : nullptr;
    if (two) {
      average_two_blocks(c + x0, from, reach, K, o, j);
      x0 += 2 * kBlockSize;
    } else if (n == kBlockSize) {
      bytes::average_block(c + x0, from, reach, K, o, j);
      x0 += kBlockSize;
    } else {
      // The plane's last block, narrower.
      average_samples(c + x0, from, reach, K, n, o, j);
      x0 += n;
    }
  }
}

void average_span(const ByteAveraging& a, int32_t r, int32_t first, int32_t end, float* out,
                  uint16_t* packed) {
  switch (a.used) {
    case 0:
      average_span_of<0>(a, r, first, end, out, packed);
      break;
    case 1:
      average_span_of<1>(a, r, first, end, out, packed);
      break;
    case 2:
      average_span_of<2>(a, r, first, end, out, packed);
      break;
    case 3:
      average_span_of<3>(a, r, first, end, out, packed);
      break;
    default:
      average_span_of<4>(a, r, first, end, out, packed);
      break;
  }
}

// The step over planes of samples of type T; the result, `kept` and
// `joined` have rows `stride` apart.
template <typename T>
int32_t step_plane(SamplePlane<T> centre, float* result, const SamplePlane<T>* neighbours,
                   BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                   int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                   const TemporalRows& scratch, float* kept, uint8_t* joined,
                   const RowsReady* ready) {
  Averaging<T> a;
  judge_plane(centre, neighbours, matches, count, width, rows, threshold, curve, ready, a);
  const int32_t used = a.used, across = a.across;
  const SamplePlane<T>* taken = a.taken;
  const BlockMatch* const* taken_matches = a.matches;
  for (int32_t by = 0; by * kBlockSize < rows; ++by) {
    steps::block_limits(a, by, scratch.limits);
    const int32_t last = (by + 1) * kBlockSize < rows ? (by + 1) * kBlockSize : rows;
    for (int32_t r = by * kBlockSize; r < last; ++r) {
      // Each other frame's row from where its blocks were found, then the
      // row of the result and its counts in one pass.
      for (int k = 0; k < used; ++k) {
        steps::moved_row(taken[k], taken_matches[k] + by * across, width, r, scratch.moved[k]);
      }
      const T* c = centre.at + r * centre.stride;
      float* out = result + r * stride;
      uint8_t* j = joined ? joined + r * stride : scratch.counts;
      switch (used) {
        case 0:
          steps::copy_row(c, width, out);
          std::memset(j, 1, static_cast<size_t>(width));
          break;
        case 1:
          steps::join_rows<1>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        case 2:
          steps::join_rows<2>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        case 3:
          steps::join_rows<3>(c, scratch.moved, scratch.limits, width, out, j);
          break;
        default:
          steps::join_rows<4>(c, scratch.moved, scratch.limits, width, out, j);
          break;
      }
      if (kept) std::memcpy(kept + r * stride, out, sizeof(float) * static_cast<size_t>(width));
    }
  }
  return used;
}

int32_t temporal_plane(const float* centre, float* result, const float* const* neighbours,
                       BlockMatch* const* matches, int32_t count, ptrdiff_t stride, int32_t width,
                       int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                       const TemporalRows& scratch, float* kept, uint8_t* joined,
                       const RowsReady* ready) {
  SamplePlane<float> others[kMaxNeighbours];
  for (int32_t k = 0; k < count; ++k) others[k] = {neighbours[k], stride};
  return step_plane<float>({centre, stride}, result, others, matches, count, stride, width, rows,
                           threshold, curve, scratch, kept, joined, ready);
}

int32_t temporal_plane_bytes(const BytePlanes& window, int32_t count, float* result,
                             ptrdiff_t stride, BlockMatch* const* matches, int32_t width,
                             int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                             const TemporalRows& scratch, float* kept, uint8_t* joined) {
  SamplePlane<uint8_t> others[kMaxNeighbours];
  for (int32_t k = 0; k < count; ++k) others[k] = {window.plane[k + 1], window.stride[k + 1]};
  return step_plane<uint8_t>({window.plane[0], window.stride[0]}, result, others, matches, count,
                             stride, width, rows, threshold, curve, scratch, kept, joined, nullptr);
}

// u + (t - u) * w over a row, w = (float)(q (m - 1)) / (float)(512 R) made
// per sample from the count so that the loop vectorises.
// The weight's denominator 512 R is a power of two (R is 1 or 2), so the
// division is the exact multiplication by its reciprocal.
float restore_reciprocal(int32_t radius) {
  return radius == 2 ? 1.0f / 1024.0f : 1.0f / 512.0f;
}

void restore_detail(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                    int32_t width, int32_t rows, int32_t restore, int32_t radius) {
  const float reciprocal = steps::restore_reciprocal(radius);
  for (int32_t r = 0; r < rows; ++r) {
    float* __restrict u = plane + r * stride;
    const float* __restrict t = kept + r * stride;
    const uint8_t* __restrict m = joined + r * stride;
    for (int32_t x = 0; x < width; ++x) {
      const float w = static_cast<float>(restore * (static_cast<int32_t>(m[x]) - 1)) * reciprocal;
      u[x] = u[x] + (t[x] - u[x]) * w;
    }
  }
}

int32_t temporal_judge_bytes(const BytePlanes& window, int32_t count, BlockMatch* const* matches,
                             int32_t width, int32_t rows, int32_t threshold,
                             const BrightnessCurve* curve, BlockStep* room,
                             ByteAveraging& averaging) {
  SamplePlane<uint8_t> others[kMaxNeighbours];
  for (int32_t k = 0; k < count; ++k) others[k] = {window.plane[k + 1], window.stride[k + 1]};
  Averaging<uint8_t> a;
  judge_plane<uint8_t>({window.plane[0], window.stride[0]}, others, matches, count, width, rows,
                       threshold, curve, nullptr, a);
  averaging = ByteAveraging{};
  averaging.taken.plane[0] = window.plane[0];
  averaging.taken.stride[0] = window.stride[0];
  const int32_t blocks = a.across * blocks_along(rows);
  for (int32_t k = 0; k < a.used; ++k) {
    averaging.taken.plane[k + 1] = a.taken[k].at;
    averaging.taken.stride[k + 1] = a.taken[k].stride;
    averaging.steps[k] = room + k * blocks;
  }
  for (int32_t b = 0; b < blocks; ++b) {
    const float u = block_threshold(a, b);
    for (int32_t k = 0; k < a.used; ++k) {
      const BlockMatch& m = a.matches[k][b];
      BlockStep& step = room[k * blocks + b];
      step.shift = m.dy * a.taken[k].stride + m.dx;
      step.reach = reach_of(join_limit(a, k, b, u));
    }
  }
  averaging.used = a.used;
  averaging.across = a.across;
  return a.used;
}

void temporal_row_bytes(const ByteAveraging& averaging, int32_t row, int32_t width, float* out,
                        uint16_t* packed) {
  average_span(averaging, row, 0, width, out, packed);
}

template <int32_t kWidth>
void restore_strip_row(const float* __restrict u, const float* __restrict t,
                       const uint8_t* __restrict m, int32_t width, int32_t restore,
                       float reciprocal, float* __restrict o) {
  const int32_t n = kWidth > 0 ? kWidth : width;
  for (int32_t x = 0; x < n; ++x) {
    const float w = static_cast<float>(restore * (static_cast<int32_t>(m[x]) - 1)) * reciprocal;
    o[x] = u[x] + (t[x] - u[x]) * w;
  }
}

void restore_strip(const float* strip, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                   int32_t width, int32_t rows, int32_t restore, int32_t radius, float* out) {
  const float reciprocal = steps::restore_reciprocal(radius);
  for (int32_t r = 0; r < rows; ++r) {
    if (width == 16) {
      steps::restore_strip_row<16>(strip + r * width, kept + r * stride, joined + r * stride, width,
                                   restore, reciprocal, out + r * width);
    } else {
      steps::restore_strip_row<0>(strip + r * width, kept + r * stride, joined + r * stride, width,
                                  restore, reciprocal, out + r * width);
    }
  }
}

// How many rows ahead a strip's rows in a plane are asked for.
constexpr int32_t kRowsAhead = 12;

void restore_strip_packed(const float* strip, const uint16_t* packed, ptrdiff_t stride,
                          int32_t width, int32_t rows, int32_t restore, int32_t radius,
                          float* out) {
  const float reciprocal = steps::restore_reciprocal(radius);
  for (int32_t r = 0; r < rows; ++r) {
    // The sums' rows are far apart: each is asked for a few rows ahead.
    if (r + kRowsAhead < rows) __builtin_prefetch(packed + (r + kRowsAhead) * stride);
    const float* __restrict u = strip + r * width;
    const uint16_t* __restrict p = packed + r * stride;
    float* __restrict o = out + r * width;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t m = p[x] & 7;
      const float t = static_cast<float>(p[x] >> 3) / static_cast<float>(m);
      const float w = static_cast<float>(restore * (m - 1)) * reciprocal;
      o[x] = u[x] + (t - u[x]) * w;
    }
  }
}

// The temporal step's entries of a path's kernels, compiled for that path.
template <typename Kernels>
void set_temporal_entries(Kernels& k) {
  k.temporal_plane = temporal_plane;
  k.temporal_plane_bytes = temporal_plane_bytes;
  k.temporal_judge_bytes = temporal_judge_bytes;
  k.temporal_row_bytes = temporal_row_bytes;
  k.restore_strip_packed = restore_strip_packed;
  k.restore_detail = restore_detail;
  k.restore_strip = restore_strip;
}

}  // namespace steps

}  // namespace

}  // namespace zolta
