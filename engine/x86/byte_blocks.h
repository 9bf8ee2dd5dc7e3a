/* SPDX-License-Identifier: BSD-2-Clause */
// The temporal step's block sums over the bytes of 8-bit streams with SSE2
// (and AVX2 where the file is compiled for it): the sum of absolute
// differences of two rows at a time in one psadbw, the sums of the bytes
// for a block's offset, eight bytes to eight floats. The sums are integers,
// as the plain loops' (temporal_steps.h), so the results are the same.
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

}  // namespace bytes

}  // namespace

}  // namespace zolta
