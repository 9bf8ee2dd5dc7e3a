/* SPDX-License-Identifier: BSD-2-Clause */
// Kernel loops for vectors wider than four samples. Every lane performs the
// four-sample step's operations in the same order, so the results are the
// same bits; what does not fill a wide vector falls back to the four-sample
// steps. Included only by files compiled for AVX2 or wider; internal linkage
// keeps these copies out of the baseline code.
#pragma once

#include <immintrin.h>

#include "sse_steps.h"

namespace zolta {

namespace {

// Eight lanes (AVX).
struct Lanes8 {
  using V = __m256;
  static constexpr int32_t kWidth = 8;
  static V set1(float f) { return _mm256_set1_ps(f); }
  static V load(const float* p) { return _mm256_loadu_ps(p); }
  static void store(float* p, V v) { _mm256_storeu_ps(p, v); }
  static V add(V a, V b) { return _mm256_add_ps(a, b); }
  static V sub(V a, V b) { return _mm256_sub_ps(a, b); }
  static V mul(V a, V b) { return _mm256_mul_ps(a, b); }
  // t where !(|t| <= x), else +0.
  static V passing(V t, V x) {
    const V magnitude = _mm256_and_ps(t, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
    return _mm256_and_ps(_mm256_cmp_ps(magnitude, x, _CMP_NLE_UQ), t);
  }
};

template <class L>
struct WideTaps {
  typename L::V k0, k1, k2, k3;
  explicit WideTaps(const float* c)
      : k0(L::set1(c[0])), k1(L::set1(c[1])), k2(L::set1(c[2])), k3(L::set1(c[3])) {}
};

// Analysis outputs [i, end) in whole vectors of L; returns the first output
// not done.
template <class L>
int32_t analyze_run(const float* x, int32_t s, const float* coefficients, float* approx,
                    float* detail, int32_t i, int32_t end) {
  const WideTaps<L> c(coefficients);
  for (; i + L::kWidth <= end; i += L::kWidth) {
    const typename L::V xm = L::load(x + i - s);
    const typename L::V x0 = L::load(x + i);
    const typename L::V xp = L::load(x + i + s);
    const typename L::V xpp = L::load(x + i + 2 * s);
    typename L::V a = L::add(L::mul(c.k0, xm), L::mul(c.k1, x0));
    a = L::add(a, L::mul(c.k2, xp));
    a = L::add(a, L::mul(c.k3, xpp));
    typename L::V d = L::sub(L::mul(c.k2, x0), L::mul(c.k3, xm));
    d = L::sub(d, L::mul(c.k1, xp));
    d = L::add(d, L::mul(c.k0, xpp));
    L::store(approx + i, a);
    L::store(detail + i, d);
  }
  return i;
}

template <class L>
int32_t synthesize_run(const float* approx, const float* detail, int32_t s,
                       const float* coefficients, float threshold, float* out, int32_t i,
                       int32_t end, const float* gains) {
  const WideTaps<L> b(coefficients);
  const typename L::V level = L::set1(threshold);
  for (; i + L::kWidth <= end; i += L::kWidth) {
    const typename L::V x = gains ? L::mul(level, L::load(gains + i)) : level;
    const float* a0 = approx + i - 2 * s;
    const float* d0 = detail + i - 2 * s;
    typename L::V u = L::add(L::mul(b.k0, L::load(a0)), L::mul(b.k1, L::load(a0 + s)));
    u = L::add(u, L::mul(b.k2, L::load(a0 + 2 * s)));
    u = L::add(u, L::mul(b.k3, L::load(a0 + 3 * s)));
    typename L::V t = L::sub(L::mul(b.k3, L::load(d0)), L::mul(b.k2, L::load(d0 + s)));
    t = L::add(t, L::mul(b.k1, L::load(d0 + 2 * s)));
    t = L::sub(t, L::mul(b.k0, L::load(d0 + 3 * s)));
    L::store(out + i, L::add(u, L::passing(t, x)));
  }
  return i;
}

// The whole analysis of one row: widest vectors first, then narrower ones,
// then four samples, then the wrapped outputs of step 8.
template <class... Widths>
void analyze_row(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                 int32_t a) {
  const int32_t s = 1 << a;
  extend_row(x, n);
  const int32_t direct_end = s < 8 ? n : (n - 8 > 0 ? n - 8 : 0);
  int32_t i = 0;
  ((i = analyze_run<Widths>(x, s, coefficients, approx, detail, i, direct_end)), ...);
  const Taps4 c = broadcast_taps(coefficients);
  for (; i < direct_end; i += 4) {
    analyze_step4(x + i - s, x + i, x + i + s, x + i + 2 * s, c, approx + i, detail + i);
  }
  for (; i < n; i += 4) analyze_wrapped4(x, n, i, s, c, approx, detail);
}

template <class... Widths>
void synthesize_row_gains(float* out, float* approx, float* detail, const float* coefficients,
                          int32_t n, int32_t a, float threshold, const float* gains) {
  const int32_t s = 1 << a;
  extend_row(detail, n);
  extend_row(approx, n);
  const Taps4 b = broadcast_taps(coefficients);
  const __m128 x = _mm_set1_ps(threshold);
  int32_t i = 0;
  const int32_t wrapped_end = s < 8 ? 0 : (n < 8 ? n : 8);
  for (; i < wrapped_end; i += 4) {
    synthesize_wrapped4(approx, detail, n, i, s, b, thresholds4(x, gains, i), out);
  }
  ((i = synthesize_run<Widths>(approx, detail, s, coefficients, threshold, out, i, n, gains)), ...);
  for (; i < n; i += 4) {
    synthesize_step4(approx + i - 2 * s, detail + i - 2 * s, s, b, thresholds4(x, gains, i),
                     out + i);
  }
}

template <class... Widths>
void synthesize_row(float* out, float* approx, float* detail, const float* coefficients, int32_t n,
                    int32_t a, float threshold) {
  synthesize_row_gains<Widths...>(out, approx, detail, coefficients, n, a, threshold, nullptr);
}

// A level over samples whose neighbours are all in place: widest vectors
// first, then four samples.
template <class... Widths>
void analyze_span(const float* x, float* approx, float* detail, const float* coefficients,
                  int32_t count, int32_t step) {
  int32_t i = 0;
  ((i = analyze_run<Widths>(x, step, coefficients, approx, detail, i, count)), ...);
  analyze_span4(x, approx, detail, broadcast_taps(coefficients), i, count, step);
}

template <class... Widths>
void synthesize_span_scaled(float* out, const float* approx, const float* detail,
                            const float* coefficients, int32_t count, int32_t step, float threshold,
                            const float* gains) {
  int32_t i = 0;
  ((i = synthesize_run<Widths>(approx, detail, step, coefficients, threshold, out, i, count,
                               gains)),
   ...);
  synthesize_span4(approx, detail, broadcast_taps(coefficients), _mm_set1_ps(threshold), i, count,
                   step, out, gains);
}

template <class... Widths>
void synthesize_span(float* out, const float* approx, const float* detail,
                     const float* coefficients, int32_t count, int32_t step, float threshold) {
  synthesize_span_scaled<Widths...>(out, approx, detail, coefficients, count, step, threshold,
                                    nullptr);
}

}  // namespace

}  // namespace zolta
