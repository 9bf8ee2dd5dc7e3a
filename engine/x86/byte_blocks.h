/* SPDX-License-Identifier: BSD-2-Clause */
// The temporal step's block sums over the bytes of 8-bit streams with SSE2
// (and AVX2 where the file is compiled for it): the sum of absolute
// differences of two rows at a time in one psadbw, the sums of the
// differences and of their squares in one pass, eight bytes to eight floats, and the rows of the
// average in 16-bit lanes. The sums are integers, as the plain loops'
// (temporal_steps.h), and the average's division is the same, so the
// results are the same.
// Included before temporal_steps.h by the x86 files.
#pragma once

#include <emmintrin.h>
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <cstddef>
#include <cstdint>

#include "temporal.h"

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

// Eight bytes in 16-bit lanes.
inline __m128i eight_words(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_setzero_si128());
}

inline int32_t lanes_total(__m128i acc) {
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 8));
  acc = _mm_add_epi32(acc, _mm_srli_si128(acc, 4));
  return _mm_cvtsi128_si32(acc);
}

// The sums of n - c and of (n - c)^2 over an 8 x 8 block in one pass: the
// differences in 16 bits, summed in pairs (pmaddwd with ones) and squared
// and summed in pairs (pmaddwd with themselves) into 32-bit lanes; with
// AVX2 two rows a register.
inline void block_moments(const uint8_t* c, ptrdiff_t cs, const uint8_t* n, ptrdiff_t ns,
                          int32_t* sum, int32_t* squares) {
#if defined(__AVX2__)
  const __m256i ones = _mm256_set1_epi16(1);
  __m256i s = _mm256_setzero_si256(), q = _mm256_setzero_si256();
  for (int32_t r = 0; r < 8; r += 2) {
    const __m256i d = _mm256_sub_epi16(_mm256_cvtepu8_epi16(two_rows(n + r * ns, ns)),
                                       _mm256_cvtepu8_epi16(two_rows(c + r * cs, cs)));
    s = _mm256_add_epi32(s, _mm256_madd_epi16(d, ones));
    q = _mm256_add_epi32(q, _mm256_madd_epi16(d, d));
  }
  *sum = lanes_total(_mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1)));
  *squares = lanes_total(_mm_add_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1)));
#else
  const __m128i ones = _mm_set1_epi16(1);
  __m128i s = _mm_setzero_si128(), q = _mm_setzero_si128();
  for (int32_t r = 0; r < 8; ++r) {
    const __m128i d = _mm_sub_epi16(eight_words(n), eight_words(c));
    s = _mm_add_epi32(s, _mm_madd_epi16(d, ones));
    q = _mm_add_epi32(q, _mm_madd_epi16(d, d));
    c += cs;
    n += ns;
  }
  *sum = lanes_total(s);
  *squares = lanes_total(q);
#endif
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

// A block's row of the temporal step's result from bytes, as the plain
// average_samples (temporal_steps.h) makes it, in 16-bit lanes: c the
// centre's eight samples, from[k] those of the other frames taken
// (k < used), reach[k] the largest difference that joins; s = c plus the
// samples that join, m = 1 plus their count, out = s / m in floats, and (if
// asked for) s * 8 + m in `packed`.
inline void average_block(const uint8_t* c, const uint8_t* const* from, const int32_t* reach,
                          int32_t used, float* out, uint16_t* packed) {
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
  const __m128i cx = eight_words(c);
  __m128i s = cx, m = one;
  for (int32_t k = 0; k < used; ++k) {
    const __m128i n = eight_words(from[k]);
    const __m128i d = _mm_sub_epi16(n, cx);
    const __m128i beyond =
        _mm_cmpgt_epi16(_mm_max_epi16(d, _mm_sub_epi16(zero, d)), _mm_set1_epi16(static_cast<int16_t>(reach[k])));
    s = _mm_add_epi16(s, _mm_andnot_si128(beyond, n));
    m = _mm_add_epi16(m, _mm_andnot_si128(beyond, one));
  }
  const __m128 s0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(s, zero));
  const __m128 s1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(s, zero));
  const __m128 m0 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(m, zero));
  const __m128 m1 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(m, zero));
  _mm_storeu_ps(out, _mm_div_ps(s0, m0));
  _mm_storeu_ps(out + 4, _mm_div_ps(s1, m1));
  if (packed) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed), _mm_add_epi16(_mm_slli_epi16(s, 3), m));
  }
}

#if defined(__AVX2__)
#define ZOLTA_TWO_BLOCKS 1

// Two neighbouring blocks' rows at once, sixteen lanes: from[k] and
// reach[k] for the first, from[kMaxNeighbours + k] and
// reach[kMaxNeighbours + k] for the second.
inline void average_two_blocks(const uint8_t* c, const uint8_t* const* from, const int32_t* reach,
                               int32_t used, float* out, uint16_t* packed) {
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i cx = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
  __m256i s = cx, m = one;
  for (int32_t k = 0; k < used; ++k) {
    const __m256i n = _mm256_cvtepu8_epi16(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from[k])),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(
                               from[kMaxNeighbours + k]))));
    const __m256i limit = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_set1_epi16(static_cast<int16_t>(reach[k]))),
        _mm_set1_epi16(static_cast<int16_t>(reach[kMaxNeighbours + k])), 1);
    const __m256i beyond = _mm256_cmpgt_epi16(_mm256_abs_epi16(_mm256_sub_epi16(n, cx)), limit);
    s = _mm256_add_epi16(s, _mm256_andnot_si256(beyond, n));
    m = _mm256_add_epi16(m, _mm256_andnot_si256(beyond, one));
  }
  const __m128i s0 = _mm256_castsi256_si128(s), s1 = _mm256_extracti128_si256(s, 1);
  const __m128i m0 = _mm256_castsi256_si128(m), m1 = _mm256_extracti128_si256(m, 1);
  _mm256_storeu_ps(out, _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(s0)),
                                      _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(m0))));
  _mm256_storeu_ps(out + 8, _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(s1)),
                                          _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(m1))));
  if (packed) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(packed),
                        _mm256_add_epi16(_mm256_slli_epi16(s, 3), m));
  }
}
#endif

}  // namespace bytes

}  // namespace

}  // namespace zolta
