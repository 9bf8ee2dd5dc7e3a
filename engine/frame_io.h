/* SPDX-License-Identifier: BSD-2-Clause */
// Frames of every format to the denoiser's float planes on the 8-bit scale,
// and back, with the views. Plain C++ written so that the compiler can
// vectorise the common loops; the arithmetic is the documented rule, the same
// on every processor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream_format.h"

namespace zolta {

// The denoiser's planes of one frame: Y, Cb, Cr (GRAY: Y only), rows
// `stride` floats apart.
struct FloatPlanes {
  float* plane[3];
  ptrdiff_t stride[3];
};

enum class ViewKind { kNormal, kGray, kDiff };

struct OutputView {
  ViewKind kind;
  int32_t plane;  // the plane a grey picture shows (0..planes - 1)
  bool high;      // grey pictures of the High view are centred at the middle grey
};

// Integer sample of a float on the 8-bit scale: clamp(round(v * k), 0, max),
// with round to nearest, ties to even, NaN to 0 (sample_rules.h), written so
// that it vectorises.
inline int32_t quantize(float v, float k, float max) {
  float w = v * k;
  w = w >= 0.0f ? w : 0.0f;  // NaN too
  w = w <= max ? w : max;
  // In 1.5 * 2^23 .. 2^24 floats are the integers: the addition rounds w to
  // the nearest integer, ties to even, under the default rounding mode.
  const float r = (w + 12582912.0f) - 12582912.0f;
  return static_cast<int32_t>(r);
}

void frame_to_planes(const StreamLayout& layout, const zolta_frame& in, const FloatPlanes& out);

// Row `row` of plane p of a YUV or GRAY frame (planar or YUY2) to the 8-bit
// scale, as frame_to_planes converts it.
void plane_row_to_floats(const StreamLayout& layout, const zolta_frame& in, int p, int32_t row,
                         float* line);
// Rows first .. first + count - 1 of plane p into the same rows of a float
// plane whose rows are `stride` floats apart.
void plane_rows_to_floats(const StreamLayout& layout, const zolta_frame& in, int p, int32_t first,
                          int32_t count, float* plane, ptrdiff_t stride);

// Asks the processor to fetch row `row` of plane p of `in` into its caches,
// ahead of plane_row_to_floats.
void prefetch_plane_row(const StreamLayout& layout, const zolta_frame& in, int p, int32_t row);

// Writes `out` from the planes as the view asks. `in` is read only by the
// Diff view, sample by sample before the same sample of `out` is written, so
// `in` and `out` may be the same frame.
void planes_to_frame(const StreamLayout& layout, const FloatPlanes& planes, const OutputView& view,
                     const zolta_frame& in, const zolta_frame& out);

// The normal view of plane p of a YUV or GRAY planar frame (the part of
// planes_to_frame for that plane).
void plane_to_frame(const StreamLayout& layout, const float* plane, ptrdiff_t stride, int p,
                    const zolta_frame& out);
// Columns [first, first + width) of plane p of such a frame, normal view,
// from a strip of rows x width floats (row r at strip + width r).
void strip_to_frame(const StreamLayout& layout, const float* strip, int32_t width, int32_t rows,
                    int p, int32_t first, const zolta_frame& out);

// Copies the frame's samples unchanged (the filter switched off).
void copy_frame(const StreamLayout& layout, const zolta_frame& in, const zolta_frame& out);

}  // namespace zolta
