// SPDX-License-Identifier: BSD-2-Clause
// Sixteen samples per step with AVX-512 (compiled with -mavx512f -mavx512bw
// -mavx512vl, with fused multiply-add never generated), then eight, then four.
#include <immintrin.h>

#include "byte_blocks.h"
#include "kernels.h"
#include "temporal_steps.h"
#include "wide_steps.h"

namespace zolta {

namespace {

struct Lanes16 {
  using V = __m512;
  static constexpr int32_t kWidth = 16;
  static V set1(float f) { return _mm512_set1_ps(f); }
  static V load(const float* p) { return _mm512_loadu_ps(p); }
  static void store(float* p, V v) { _mm512_storeu_ps(p, v); }
  static V add(V a, V b) { return _mm512_add_ps(a, b); }
  static V sub(V a, V b) { return _mm512_sub_ps(a, b); }
  static V mul(V a, V b) { return _mm512_mul_ps(a, b); }
  // t where !(|t| <= x), else +0.
  static V passing(V t, V x) {
    return _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(_mm512_abs_ps(t), x, _CMP_NLE_UQ), t);
  }
};

void analyze_avx512(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                    int32_t a) {
  analyze_row<Lanes16, Lanes8>(x, approx, detail, coefficients, n, a);
}

void synthesize_avx512(float* out, float* approx, float* detail, const float* coefficients,
                       int32_t n, int32_t a, float threshold) {
  synthesize_row<Lanes16, Lanes8>(out, approx, detail, coefficients, n, a, threshold);
}

void synthesize_scaled_avx512(float* out, float* approx, float* detail, const float* coefficients,
                              int32_t n, int32_t a, float threshold, const float* gains) {
  synthesize_row_gains<Lanes16, Lanes8>(out, approx, detail, coefficients, n, a, threshold, gains);
}

}  // namespace

// Only the two wavelet kernels; the conversions stay eight-wide (AVX2).
void dsp_init_avx512(DspKernels& k) {
  k.path = kSimdAvx512;
  k.name = "avx512";
  k.analyze = analyze_avx512;
  k.synthesize = synthesize_avx512;
  k.analyze_span = analyze_span<Lanes16, Lanes8>;
  k.synthesize_span = synthesize_span<Lanes16, Lanes8>;
  k.synthesize_scaled = synthesize_scaled_avx512;
  k.synthesize_span_scaled = synthesize_span_scaled<Lanes16, Lanes8>;
  steps::set_temporal_entries(k);
}

}  // namespace zolta
