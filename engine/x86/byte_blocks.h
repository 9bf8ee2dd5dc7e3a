/* SPDX-License-Identifier: BSD-2-Clause */
// The temporal step's block sums over the bytes of 8-bit streams with SSE2
// (and AVX2 where the file is compiled for it): the sum of absolute
// differences of two rows at a time in one psadbw, the sums of the bytes
// for a block's offset, eight bytes to eight floats, and a block's row of
// the average. The sums are integers, as the plain loops'
// (temporal_steps.h), and the average takes the same operations in the
// same order, so the results are the same.
// Included before temporal_steps.h by the x86 files.
#pragma once

#include <emmintrin.h>
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <cstddef>
#include <cstdint>

#define ZOLTA_BYTE_BLOCKS 1

namespace zolta {

namespace {

namespace bytes {

// Rows r and r + 1 of a block of eight bytes a row, in one register.
inline __m128i two_rows(const uint8_t* p, ptrdiff_t stride) {
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride)));
}

inline int32_t halves(__m128i sums) {
  return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
}

// The sum of |n - c| over an 8 x 8 block.
inline int32_t block_sad(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns) {
  __m128i acc = _mm_sad_epu8(two_rows(c, cs), two_rows(n, ns));
  for (int32_t r = 2; r < 8; r += 2) {
    acc = _mm_add_epi64(acc, _mm_sad_epu8(two_rows(c + r * cs, cs), two_rows(n + r * ns, ns)));
  }
  return halves(acc);
}

// The sum of n - c over an 8 x 8 block: the sums of each block's bytes.
inline int32_t block_sum_difference(const uint8_t* c, ptrdiff_t cs, const uint8_t* n,
                                    ptrdiff_t ns) {
  const __m128i zero = _mm_setzero_si128();
  __m128i sc = _mm_setzero_si128(), sn = _mm_setzero_si128();
  for (int32_t r = 0; r < 8; r += 2) {
    sc = _mm_add_epi64(sc, _mm_sad_epu8(two_rows(c + r * cs, cs), zero));
    sn = _mm_add_epi64(sn, _mm_sad_epu8(two_rows(n + r * ns, ns), zero));
  }
  return halves(sn) - halves(sc);
}

// The sum of (n - c)^2 over an 8 x 8 block: the differences in 16 bits,
// their squares summed in pairs (pmaddwd) into 32-bit lanes.
inline int32_t block_squares(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns) {
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = _mm_setzero_si128();
  for (int32_t r = 0; r < 8; ++r) {
    const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(n)), zero);
    const __m128i d = _mm_sub_epi16(b, a);
    acc = _mm_add_epi32(acc, _mm_madd_epi16(d, d));
    c += cs;
    n += ns;
  }
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 8));
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 4));
  return _mm_cvtsi128_si32(acc);
}

// Eight bytes to the floats of their values.
inline void to_floats8(const uint8_t* from, float* to) {
  const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
#if defined(__AVX2__)
  _mm256_storeu_ps(to, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b)));
#else
  const __m128i zero = _mm_setzero_si128();
  const __m128i w = _mm_unpacklo_epi8(b, zero);
  _mm_storeu_ps(to, _mm_cvtepi32_ps(_mm_unpacklo_epi16(w, zero)));
  _mm_storeu_ps(to + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(w, zero)));
#endif
}

// A block's row of the temporal step's result from bytes: c the centre's
// eight samples, from[k] those of the other frames taken (k < used),
// limits[k] their sample limits; per sample s = c, m = 1, then for each
// frame s = s + (joins ? n : +0), m = m + (joins ? 1 : +0) with joins =
// |n - c| <= limit; out = s / m, and (if asked for) the integers s * 8 + m
// in `packed`.
inline void average_block(const uint8_t* c, const uint8_t* const* from, const float* limits,
                          int32_t used, float* out, uint16_t* packed) {
#if defined(__AVX2__)
  const __m256 sign = _mm256_set1_ps(-0.0f), one = _mm256_set1_ps(1.0f);
  const __m256 cx = _mm256_cvtepi32_ps(
      _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c))));
  __m256 s = cx, m = one;
  for (int32_t k = 0; k < used; ++k) {
    const __m256 n = _mm256_cvtepi32_ps(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from[k]))));
    const __m256 d = _mm256_andnot_ps(sign, _mm256_sub_ps(n, cx));
    const __m256 joins = _mm256_cmp_ps(d, _mm256_set1_ps(limits[k]), _CMP_LE_OQ);
    s = _mm256_add_ps(s, _mm256_and_ps(joins, n));
    m = _mm256_add_ps(m, _mm256_and_ps(joins, one));
  }
  _mm256_storeu_ps(out, _mm256_div_ps(s, m));
  if (packed) {
    const __m256i p =
        _mm256_add_epi32(_mm256_slli_epi32(_mm256_cvttps_epi32(s), 3), _mm256_cvttps_epi32(m));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed),
                     _mm_packs_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1)));
  }
#else
  const __m128 sign = _mm_set1_ps(-0.0f), one = _mm_set1_ps(1.0f);
  const __m128i zero = _mm_setzero_si128();
  const __m128i cw = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c)), zero);
  const __m128 c0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(cw, zero));
  const __m128 c1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(cw, zero));
  __m128 s0 = c0, s1 = c1, m0 = one, m1 = one;
  for (int32_t k = 0; k < used; ++k) {
    const __m128i nw =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from[k])), zero);
    const __m128 n0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(nw, zero));
    const __m128 n1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(nw, zero));
    const __m128 l = _mm_set1_ps(limits[k]);
    const __m128 j0 = _mm_cmple_ps(_mm_andnot_ps(sign, _mm_sub_ps(n0, c0)), l);
    const __m128 j1 = _mm_cmple_ps(_mm_andnot_ps(sign, _mm_sub_ps(n1, c1)), l);
    s0 = _mm_add_ps(s0, _mm_and_ps(j0, n0));
    s1 = _mm_add_ps(s1, _mm_and_ps(j1, n1));
    m0 = _mm_add_ps(m0, _mm_and_ps(j0, one));
    m1 = _mm_add_ps(m1, _mm_and_ps(j1, one));
  }
  _mm_storeu_ps(out, _mm_div_ps(s0, m0));
  _mm_storeu_ps(out + 4, _mm_div_ps(s1, m1));
  if (packed) {
    const __m128i p0 = _mm_add_epi32(_mm_slli_epi32(_mm_cvttps_epi32(s0), 3), _mm_cvttps_epi32(m0));
    const __m128i p1 = _mm_add_epi32(_mm_slli_epi32(_mm_cvttps_epi32(s1), 3), _mm_cvttps_epi32(m1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed), _mm_packs_epi32(p0, p1));
  }
#endif
}

}  // namespace bytes

}  // namespace

}  // namespace zolta
