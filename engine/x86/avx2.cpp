// SPDX-License-Identifier: BSD-2-Clause
// Eight samples per step with AVX2 (compiled with -mavx2, never with FMA).
#include <immintrin.h>

#include "byte_blocks.h"
#include "kernels.h"
#include "temporal_steps.h"
#include "wide_conversions.h"
#include "wide_steps.h"

namespace zolta {

namespace {

void analyze_avx2(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                  int32_t a) {
  analyze_row<Lanes8>(x, approx, detail, coefficients, n, a);
}

void synthesize_avx2(float* out, float* approx, float* detail, const float* coefficients, int32_t n,
                     int32_t a, float threshold) {
  synthesize_row<Lanes8>(out, approx, detail, coefficients, n, a, threshold);
}

void synthesize_scaled_avx2(float* out, float* approx, float* detail, const float* coefficients,
                            int32_t n, int32_t a, float threshold, const float* gains) {
  synthesize_row_gains<Lanes8>(out, approx, detail, coefficients, n, a, threshold, gains);
}

}  // namespace

// The packing back to YUY2 stays four-wide: it reads a chroma plane at half
// the luma rate, so wider vectors gain nothing there.
void dsp_init_avx2(DspKernels& k) {
  k.path = kSimdAvx2;
  k.name = "avx2";
  k.analyze = analyze_avx2;
  k.synthesize = synthesize_avx2;
  k.analyze_span = analyze_span<Lanes8>;
  k.synthesize_span = synthesize_span<Lanes8>;
  k.synthesize_scaled = synthesize_scaled_avx2;
  k.synthesize_span_scaled = synthesize_span_scaled<Lanes8>;
  k.rgb32_to_planes = rgb32_to_planes_wide;
  k.planes_to_rgb32 = planes_to_rgb32_wide;
  k.plane_to_gray = plane_to_gray_wide;
  k.yuy2_to_planes = yuy2_to_planes_wide;
  steps::set_temporal_entries(k);
}

}  // namespace zolta
