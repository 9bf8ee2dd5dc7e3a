/* SPDX-License-Identifier: BSD-2-Clause */
// Four-sample steps shared by every path. Each including file gets its own
// copy (internal linkage): the wider paths are compiled with other target
// flags, and their copies must never be picked for the baseline code.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace zolta {

namespace {

struct Taps4 {
  __m128 k0, k1, k2, k3;
};

inline Taps4 broadcast_taps(const float* c) {
  return {_mm_set1_ps(c[0]), _mm_set1_ps(c[1]), _mm_set1_ps(c[2]), _mm_set1_ps(c[3])};
}

// Writes x[n..n+7] and x[-8..-1] from the row itself, four samples at a time,
// in an order that also repeats a row of n = 4 correctly.
inline void extend_row(float* x, int32_t n) {
  _mm_store_ps(x + n, _mm_load_ps(x));
  _mm_store_ps(x + n + 4, _mm_load_ps(x + 4));
  _mm_store_ps(x - 4, _mm_load_ps(x + n - 4));
  _mm_store_ps(x - 8, _mm_load_ps(x + n - 8));
}

inline int32_t wrap_index(int32_t j, int32_t n) {
  const int32_t m = j % n;
  return m < 0 ? m + n : m;
}

// Copies the periodic continuation x[first .. first + count) of a row of n
// samples into `window`, reading only x[0..n).
inline void fill_window(float* window, const float* x, int32_t first, int32_t count, int32_t n) {
  for (int32_t k = 0; k < count; ++k) window[k] = x[wrap_index(first + k, n)];
}

// approx = ((c0 x[i-s] + c1 x[i]) + c2 x[i+s]) + c3 x[i+2s]
// detail = ((c2 x[i] - c3 x[i-s]) - c1 x[i+s]) + c0 x[i+2s]
// with the four taps starting at p0 = x + i - s, p1, p2, p3 (s apart).
inline void analyze_step4(const float* p0, const float* p1, const float* p2, const float* p3,
                          const Taps4& c, float* approx, float* detail) {
  const __m128 xm = _mm_loadu_ps(p0);
  const __m128 x0 = _mm_loadu_ps(p1);
  const __m128 xp = _mm_loadu_ps(p2);
  const __m128 xpp = _mm_loadu_ps(p3);
  __m128 a = _mm_add_ps(_mm_mul_ps(c.k0, xm), _mm_mul_ps(c.k1, x0));
  a = _mm_add_ps(a, _mm_mul_ps(c.k2, xp));
  a = _mm_add_ps(a, _mm_mul_ps(c.k3, xpp));
  __m128 d = _mm_sub_ps(_mm_mul_ps(c.k2, x0), _mm_mul_ps(c.k3, xm));
  d = _mm_sub_ps(d, _mm_mul_ps(c.k1, xp));
  d = _mm_add_ps(d, _mm_mul_ps(c.k0, xpp));
  _mm_store_ps(approx, a);
  _mm_store_ps(detail, d);
}

// u = ((b0 A[i-2s] + b1 A[i-s]) + b2 A[i]) + b3 A[i+s]
// t = ((b3 D[i-2s] - b2 D[i-s]) + b1 D[i]) - b0 D[i+s]
// out = u + t where t > x or !(t >= -x) (so NaN passes), else u + 0; for
// every x, NaN included, that is where !(|t| <= x): one comparison.
inline void synthesize_step4(const float* a0, const float* d0, ptrdiff_t s, const Taps4& b,
                             __m128 x, float* out) {
  __m128 u = _mm_add_ps(_mm_mul_ps(b.k0, _mm_loadu_ps(a0)), _mm_mul_ps(b.k1, _mm_loadu_ps(a0 + s)));
  u = _mm_add_ps(u, _mm_mul_ps(b.k2, _mm_loadu_ps(a0 + 2 * s)));
  u = _mm_add_ps(u, _mm_mul_ps(b.k3, _mm_loadu_ps(a0 + 3 * s)));
  __m128 t = _mm_sub_ps(_mm_mul_ps(b.k3, _mm_loadu_ps(d0)), _mm_mul_ps(b.k2, _mm_loadu_ps(d0 + s)));
  t = _mm_add_ps(t, _mm_mul_ps(b.k1, _mm_loadu_ps(d0 + 2 * s)));
  t = _mm_sub_ps(t, _mm_mul_ps(b.k0, _mm_loadu_ps(d0 + 3 * s)));
  const __m128 magnitude = _mm_and_ps(t, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
  const __m128 pass = _mm_cmpnle_ps(magnitude, x);
  _mm_store_ps(out, _mm_add_ps(u, _mm_and_ps(pass, t)));
}

// Analysis of the output vector at i through a wrapped window, for the taps
// of step 8 that reach past the written extension.
inline void analyze_wrapped4(const float* x, int32_t n, int32_t i, int32_t s, const Taps4& c,
                             float* approx, float* detail) {
  alignas(16) float w[32];
  fill_window(w, x, i - s, 3 * s + 4, n);
  analyze_step4(w, w + s, w + 2 * s, w + 3 * s, c, approx + i, detail + i);
}

inline void synthesize_wrapped4(const float* a, const float* d, int32_t n, int32_t i, int32_t s,
                                const Taps4& b, __m128 x, float* out) {
  alignas(16) float wa[32];
  alignas(16) float wd[32];
  fill_window(wa, a, i - 2 * s, 3 * s + 4, n);
  fill_window(wd, d, i - 2 * s, 3 * s + 4, n);
  synthesize_step4(wa, wd, s, b, x, out + i);
}

// A level over samples whose neighbours are all in place (the column
// pass's strips), four samples per step from `i` on.
inline void analyze_span4(const float* x, float* approx, float* detail, const Taps4& c, int32_t i,
                          int32_t count, int32_t step) {
  for (; i < count; i += 4) {
    analyze_step4(x + i - step, x + i, x + i + step, x + i + 2 * step, c, approx + i, detail + i);
  }
}

// The thresholds of outputs i..i+3: the level's x, or x times their gains.
inline __m128 thresholds4(__m128 x, const float* gains, int32_t i) {
  return gains ? _mm_mul_ps(x, _mm_loadu_ps(gains + i)) : x;
}

inline void synthesize_span4(const float* approx, const float* detail, const Taps4& b, __m128 x,
                             int32_t i, int32_t count, int32_t step, float* out,
                             const float* gains = nullptr) {
  for (; i < count; i += 4) {
    synthesize_step4(approx + i - 2 * step, detail + i - 2 * step, step, b,
                     thresholds4(x, gains, i), out + i);
  }
}

// A whole row's synthesis, four samples per step (gains: null or per output).
inline void synthesize_row4(float* out, float* approx, float* detail, const float* coefficients,
                            int32_t n, int32_t a, float threshold, const float* gains) {
  const Taps4 b = broadcast_taps(coefficients);
  const __m128 x = _mm_set1_ps(threshold);
  const int32_t s = 1 << a;
  extend_row(detail, n);
  extend_row(approx, n);
  // Output vectors below i = 2s - 8 reach in front of x[-8] (step 8 only).
  int32_t i = 0;
  const int32_t wrapped_end = s < 8 ? 0 : (n < 8 ? n : 8);
  for (; i < wrapped_end; i += 4) {
    synthesize_wrapped4(approx, detail, n, i, s, b, thresholds4(x, gains, i), out);
  }
  for (; i < n; i += 4) {
    synthesize_step4(approx + i - 2 * s, detail + i - 2 * s, s, b, thresholds4(x, gains, i),
                     out + i);
  }
}

// Float to byte: round to nearest (ties to even, the default rounding mode),
// then signed 16-bit saturation, then unsigned 8-bit saturation.
inline __m128i round_to_int32(__m128 v) {
  return _mm_cvtps_epi32(v);
}

// Storing 16 bytes of output pixels: streaming when the destination allows.
enum class PixelStore { kStream16, kStream4, kUnaligned };

inline PixelStore pixel_store_for(const void* out) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(out);
  if ((p & 15) == 0) return PixelStore::kStream16;
  if ((p & 3) == 0) return PixelStore::kStream4;
  return PixelStore::kUnaligned;
}

inline void store_pixels16(void* out, __m128i v, PixelStore how) {
  if (how == PixelStore::kStream16) {
    _mm_stream_si128(static_cast<__m128i*>(out), v);
  } else if (how == PixelStore::kStream4) {
    int* o = static_cast<int*>(out);
    _mm_stream_si32(o, _mm_cvtsi128_si32(v));
    _mm_stream_si32(o + 1, _mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    _mm_stream_si32(o + 2, _mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
    _mm_stream_si32(o + 3, _mm_cvtsi128_si32(_mm_srli_si128(v, 12)));
  } else {
    _mm_storeu_si128(static_cast<__m128i*>(out), v);
  }
}

// --- conversions, four pixels (RGB32) or eight pixels (YUY2) per step ---

inline void rgb32_to_planes4(const uint32_t* src, float* y, float* cb, float* cr) {
  const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i low = _mm_set1_epi32(0xff);
  const __m128 b = _mm_cvtepi32_ps(_mm_and_si128(px, low));
  const __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 8), low));
  const __m128 r = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 16), low));
  __m128 luma = _mm_add_ps(_mm_mul_ps(g, _mm_set1_ps(0.587f)), _mm_mul_ps(r, _mm_set1_ps(0.299f)));
  luma = _mm_add_ps(luma, _mm_mul_ps(b, _mm_set1_ps(0.114f)));
  _mm_stream_ps(y, luma);
  _mm_stream_ps(cb, _mm_mul_ps(_mm_sub_ps(b, luma), _mm_set1_ps(0.565f)));
  _mm_stream_ps(cr, _mm_mul_ps(_mm_sub_ps(r, luma), _mm_set1_ps(0.713f)));
}

inline __m128i planes_to_rgb32_4(const float* y, const float* cb, const float* cr) {
  const __m128 vy = _mm_load_ps(y);
  const __m128 vcb = _mm_load_ps(cb);
  const __m128 vcr = _mm_load_ps(cr);
  const __m128 b = _mm_add_ps(_mm_mul_ps(vcb, _mm_set1_ps(1.77f)), vy);
  const __m128 r = _mm_add_ps(_mm_mul_ps(vcr, _mm_set1_ps(1.403f)), vy);
  __m128 g =
      _mm_add_ps(_mm_mul_ps(vcb, _mm_set1_ps(-0.344f)), _mm_mul_ps(vcr, _mm_set1_ps(-0.714f)));
  g = _mm_add_ps(g, vy);
  // bytes: b0 g0 r0 0 | b1 g1 r1 0 ...
  const __m128i bg = _mm_packs_epi32(round_to_int32(b), round_to_int32(g));    // b0..b3 g0..g3
  const __m128i r0 = _mm_packs_epi32(round_to_int32(r), _mm_setzero_si128());  // r0..r3 0..0
  const __m128i bg8 = _mm_packus_epi16(bg, bg);                        // b0..b3 g0..g3 (twice)
  const __m128i r8 = _mm_packus_epi16(r0, r0);                         // r0..r3 0 0 0 0 (twice)
  const __m128i bgi = _mm_unpacklo_epi8(bg8, _mm_srli_si128(bg8, 4));  // b0 g0 b1 g1 ...
  const __m128i r_0 = _mm_unpacklo_epi8(r8, _mm_srli_si128(r8, 4));    // r0 0 r1 0 ...
  return _mm_unpacklo_epi16(bgi, r_0);
}

inline __m128i plane_to_gray4(const float* p, __m128i offset) {
  const __m128i v = _mm_add_epi32(round_to_int32(_mm_load_ps(p)), offset);
  const __m128i w = _mm_packs_epi32(v, v);
  const __m128i g = _mm_packus_epi16(w, w);  // g0 g1 g2 g3 ...
  const __m128i g2 = _mm_unpacklo_epi8(g, g);
  return _mm_unpacklo_epi16(g2, g2);
}

inline void yuy2_to_planes8(const uint32_t* src, float* y, float* cb, float* cr) {
  const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma = _mm_and_si128(px, _mm_set1_epi16(0xff));  // Y0..Y7 as 16-bit
  const __m128i chroma = _mm_srli_epi16(px, 8);                  // Cb0 Cr0 Cb1 Cr1 ...
  _mm_stream_ps(y, _mm_cvtepi32_ps(_mm_unpacklo_epi16(luma, zero)));
  _mm_stream_ps(y + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(luma, zero)));
  _mm_stream_ps(cb, _mm_cvtepi32_ps(_mm_and_si128(chroma, _mm_set1_epi32(0xffff))));
  _mm_stream_ps(cr, _mm_cvtepi32_ps(_mm_srli_epi32(chroma, 16)));
}

inline __m128i planes_to_yuy2_8(const float* y, const float* cb, const float* cr) {
  const __m128i luma =
      _mm_packs_epi32(round_to_int32(_mm_load_ps(y)), round_to_int32(_mm_load_ps(y + 4)));
  const __m128i cbcr =
      _mm_packs_epi32(round_to_int32(_mm_loadu_ps(cb)), round_to_int32(_mm_loadu_ps(cr)));
  const __m128i chroma = _mm_unpacklo_epi16(cbcr, _mm_srli_si128(cbcr, 8));  // Cb0 Cr0 Cb1 Cr1..
  return _mm_packus_epi16(_mm_unpacklo_epi16(luma, chroma), _mm_unpackhi_epi16(luma, chroma));
}

}  // namespace

}  // namespace zolta
