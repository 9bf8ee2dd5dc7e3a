// The engine's inner loops, behind one record of function pointers that is
// filled once from the processor's features. The frame pipelines and the
// denoiser call only through this record; every path gives the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

enum SimdPath : int32_t { kSimdSse = 0, kSimdAvx2 = 1, kSimdAvx512 = 2 };
constexpr int kSimdPathCount = 3;

struct DspKernels {
  SimdPath path;
  const char* name;

  // One level of the undecimated transform over a periodic row (see
  // wavelet_kernels.h for the contract).
  void (*analyze)(float* input, float* approx, float* detail, const float* coefficients, int32_t n,
                  int32_t a);
  void (*synthesize)(float* output, float* approx, float* detail, const float* coefficients,
                     int32_t n, int32_t a, float threshold);

  // Column group of the Y pass: columns [0, 4) of `rows` plane rows, `stride`
  // floats apart, to and from four scratch rows.
  void (*columns_to_rows)(const float* plane, ptrdiff_t stride, int32_t rows,
                          float* const column_rows[4]);
  void (*rows_to_columns)(float* plane, ptrdiff_t stride, int32_t rows,
                          const float* const column_rows[4]);

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
};

// The record in use. The first call picks the widest path that both the
// processor and the build allow.
const DspKernels& dsp_kernels();

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
