/* SPDX-License-Identifier: BSD-2-Clause */
// The engine's inner loops, behind one record of function pointers that is
// filled once from the processor's features: the plain path first, then each
// instruction set the processor has, narrowest first, replacing the entries
// it provides. The frame pipelines and the denoiser call only through this
// record; every path gives the same bits.
//
// What every entry may assume: n, rows and RGB32 widths are multiples of 4,
// YUY2 widths multiples of 8; rows handed to the wavelet kernels, plane rows
// and scratch rows are 16-byte aligned (strides multiples of 4 floats), with
// room for the eight-sample extension on both sides of a wavelet row; source
// pictures need only word alignment and may run bottom-up (negative pitch);
// output pictures need no alignment at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "temporal.h"

namespace zolta {

// Paths from narrowest to widest; the plain path runs everywhere.
enum SimdPath : int32_t { kSimdPlain = 0, kSimdSse = 1, kSimdAvx2 = 2, kSimdAvx512 = 3 };
constexpr int kSimdPathCount = 4;

struct DspKernels {
  SimdPath path;
  const char* name;

  // One level of the undecimated transform over a periodic row. Rows are
  // 16-byte aligned, n a positive multiple of 4, with room for the periodic
  // extension in front of and behind every input row.
  void (*analyze)(float* input, float* approx, float* detail, const float* coefficients, int32_t n,
                  int32_t a);
  void (*synthesize)(float* output, float* approx, float* detail, const float* coefficients,
                     int32_t n, int32_t a, float threshold);

  // The same level over `count` samples that are already in place around
  // the run: sample f takes its inputs `step` floats apart (analysis: from
  // f - step to f + 2 step; synthesis: from f - 2 step to f + step), with
  // nothing wrapped. The column pass runs it over a strip of columns, one
  // row of the strip `step` / 2^a floats from the next. count a multiple of
  // 4; no alignment needed.
  void (*analyze_span)(const float* input, float* approx, float* detail, const float* coefficients,
                       int32_t count, int32_t step);
  void (*synthesize_span)(float* output, const float* approx, const float* detail,
                          const float* coefficients, int32_t count, int32_t step, float threshold);
  // synthesize and synthesize_span with a threshold per output sample:
  // threshold * gains[i] (one product, then the same comparison). `gains`
  // needs no alignment.
  void (*synthesize_scaled)(float* output, float* approx, float* detail, const float* coefficients,
                            int32_t n, int32_t a, float threshold, const float* gains);
  void (*synthesize_span_scaled)(float* output, const float* approx, const float* detail,
                                 const float* coefficients, int32_t count, int32_t step,
                                 float threshold, const float* gains);

  // Frame conversions. Source rows are `src_pitch` words apart, plane rows
  // `stride` (chroma of YUY2: `chroma_stride`) floats apart, output rows back
  // to back.
  void (*rgb32_to_planes)(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                          float* y, float* cb, float* cr, ptrdiff_t stride);
  void (*planes_to_rgb32)(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                          int32_t width, int32_t height, uint32_t* out);
  void (*plane_to_gray)(const float* plane, ptrdiff_t stride, int32_t width, int32_t height,
                        int32_t offset, uint32_t* out);
  void (*yuy2_to_planes)(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                         float* y, float* cb, float* cr, ptrdiff_t stride, ptrdiff_t chroma_stride);
  void (*planes_to_yuy2)(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                         ptrdiff_t chroma_stride, int32_t width, int32_t height, uint8_t* out);

  // The temporal step over one plane and the detail given back after it
  // (temporal.h): the same loops compiled for each instruction set.
  int32_t (*temporal_plane)(const float* centre, float* result, const float* const* neighbours,
                            BlockMatch* const* matches, int32_t count, ptrdiff_t stride,
                            int32_t width, int32_t rows, int32_t threshold,
                            const BrightnessCurve* curve, const TemporalRows& scratch, float* kept,
                            uint8_t* joined, const RowsReady* ready);
  int32_t (*temporal_plane_bytes)(const BytePlanes& window, int32_t count, float* result,
                                  ptrdiff_t stride, BlockMatch* const* matches, int32_t width,
                                  int32_t rows, int32_t threshold, const BrightnessCurve* curve,
                                  const TemporalRows& scratch, float* kept, uint8_t* joined);
  int32_t (*temporal_judge_bytes)(const BytePlanes& window, int32_t count,
                                  BlockMatch* const* matches, int32_t width, int32_t rows,
                                  int32_t threshold, const BrightnessCurve* curve, BlockStep* room,
                                  ByteAveraging& averaging);
  void (*temporal_row_bytes)(const ByteAveraging& averaging, int32_t row, int32_t width, float* out,
                             uint16_t* packed);
  void (*restore_strip_packed)(const float* strip, const uint16_t* packed, ptrdiff_t stride,
                               int32_t width, int32_t rows, int32_t restore, int32_t radius,
                               float* out);
  void (*restore_detail)(float* plane, const float* kept, const uint8_t* joined, ptrdiff_t stride,
                         int32_t width, int32_t rows, int32_t restore, int32_t radius);
  void (*restore_strip)(const float* strip, const float* kept, const uint8_t* joined,
                        ptrdiff_t stride, int32_t width, int32_t rows, int32_t restore,
                        int32_t radius, float* out);
};

// The record in use. The first call picks the widest path that both the
// processor and the build allow.
const DspKernels& dsp_kernels();

// The processor's features as one bit per path (bit p: it runs path p; the
// plain path's bit is always set), read once.
uint32_t processor_simd_features();
constexpr uint32_t simd_feature_bit(SimdPath path) {
  return uint32_t{1} << path;
}

// Fills `k` for the given features: the plain path first, then every
// instruction set that is both in `features` and built in, narrowest first.
void fill_dsp_kernels(DspKernels& k, uint32_t features);

// The record of one path, or null when this build or processor lacks it.
// For the per-function checks and benchmarks, which compare the paths.
const DspKernels* dsp_kernels_for(SimdPath path);

// Whether this processor (and this build) can run a path.
bool simd_path_available(SimdPath path);

// Makes `path` the one in use, or the widest available path below it when
// the processor lacks it; returns the path now in use. Meant for tests and
// benchmarks, which compare the paths; not for use while frames are running.
SimdPath select_simd_path(SimdPath path);

const char* simd_path_name(SimdPath path);

// The frame pipelines run under the processor's default floating-point
// control (round to nearest even, no flushing of tiny values to zero, every
// exception masked), whatever the host's thread was left with, so that a
// frame always gives the same bytes. Returns the control word to restore.
uint32_t enter_default_float_mode();
void leave_default_float_mode(uint32_t saved);

}  // namespace zolta
