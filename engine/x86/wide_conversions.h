/* SPDX-License-Identifier: BSD-2-Clause */
// Frame conversions eight pixels (RGB32) or sixteen pixels (YUY2) per step
// with AVX2, for the wider paths. The arithmetic is the four-pixel steps'
// lane for lane. Planes are written with ordinary stores here: the denoiser
// reads them right away, and a frame's planes fit the larger caches.
#pragma once

#include <immintrin.h>

#include "sse_steps.h"

namespace zolta {

namespace {

inline void store_pixels32(void* out, __m256i v, PixelStore how) {
  uint8_t* o = static_cast<uint8_t*>(out);
  store_pixels16(o, _mm256_castsi256_si128(v), how);
  store_pixels16(o + 16, _mm256_extracti128_si256(v, 1), how);
}

inline void rgb32_to_planes8(const uint32_t* src, float* y, float* cb, float* cr) {
  const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i low = _mm256_set1_epi32(0xff);
  const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(px, low));
  const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 8), low));
  const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 16), low));
  __m256 luma = _mm256_add_ps(_mm256_mul_ps(g, _mm256_set1_ps(0.587f)),
                              _mm256_mul_ps(r, _mm256_set1_ps(0.299f)));
  luma = _mm256_add_ps(luma, _mm256_mul_ps(b, _mm256_set1_ps(0.114f)));
  _mm256_storeu_ps(y, luma);
  _mm256_storeu_ps(cb, _mm256_mul_ps(_mm256_sub_ps(b, luma), _mm256_set1_ps(0.565f)));
  _mm256_storeu_ps(cr, _mm256_mul_ps(_mm256_sub_ps(r, luma), _mm256_set1_ps(0.713f)));
}

// Each 128-bit half packs its own four pixels, as the four-pixel step does.
inline __m256i planes_to_rgb32_8(const float* y, const float* cb, const float* cr) {
  const __m256 vy = _mm256_loadu_ps(y);
  const __m256 vcb = _mm256_loadu_ps(cb);
  const __m256 vcr = _mm256_loadu_ps(cr);
  const __m256 b = _mm256_add_ps(_mm256_mul_ps(vcb, _mm256_set1_ps(1.77f)), vy);
  const __m256 r = _mm256_add_ps(_mm256_mul_ps(vcr, _mm256_set1_ps(1.403f)), vy);
  __m256 g = _mm256_add_ps(_mm256_mul_ps(vcb, _mm256_set1_ps(-0.344f)),
                           _mm256_mul_ps(vcr, _mm256_set1_ps(-0.714f)));
  g = _mm256_add_ps(g, vy);
  const __m256i bg = _mm256_packs_epi32(_mm256_cvtps_epi32(b), _mm256_cvtps_epi32(g));
  const __m256i r0 = _mm256_packs_epi32(_mm256_cvtps_epi32(r), _mm256_setzero_si256());
  const __m256i bg8 = _mm256_packus_epi16(bg, bg);
  const __m256i r8 = _mm256_packus_epi16(r0, r0);
  const __m256i bgi = _mm256_unpacklo_epi8(bg8, _mm256_srli_si256(bg8, 4));
  const __m256i r_0 = _mm256_unpacklo_epi8(r8, _mm256_srli_si256(r8, 4));
  return _mm256_unpacklo_epi16(bgi, r_0);
}

inline __m256i plane_to_gray8(const float* p, __m256i offset) {
  const __m256i v = _mm256_add_epi32(_mm256_cvtps_epi32(_mm256_loadu_ps(p)), offset);
  const __m256i w = _mm256_packs_epi32(v, v);
  const __m256i g = _mm256_packus_epi16(w, w);
  const __m256i g2 = _mm256_unpacklo_epi8(g, g);
  return _mm256_unpacklo_epi16(g2, g2);
}

inline void yuy2_to_planes16(const uint32_t* src, float* y, float* cb, float* cr) {
  const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i luma = _mm256_and_si256(px, _mm256_set1_epi16(0xff));  // Y0..Y15, 16-bit
  const __m256i chroma = _mm256_srli_epi16(px, 8);                     // Cb0 Cr0 Cb1 Cr1 ...
  _mm256_storeu_ps(y, _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(luma))));
  _mm256_storeu_ps(y + 8,
                   _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(luma, 1))));
  _mm256_storeu_ps(cb, _mm256_cvtepi32_ps(_mm256_and_si256(chroma, _mm256_set1_epi32(0xffff))));
  _mm256_storeu_ps(cr, _mm256_cvtepi32_ps(_mm256_srli_epi32(chroma, 16)));
}

void rgb32_to_planes_wide(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                          float* y, float* cb, float* cr, ptrdiff_t stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    const ptrdiff_t o = row * stride;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) rgb32_to_planes8(s + x, y + o + x, cb + o + x, cr + o + x);
    for (; x < width; x += 4) rgb32_to_planes4(s + x, y + o + x, cb + o + x, cr + o + x);
  }
  _mm_sfence();
}

void planes_to_rgb32_wide(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                          int32_t width, int32_t height, uint32_t* out) {
  const PixelStore how = pixel_store_for(out);
  for (int32_t row = 0; row < height; ++row) {
    const ptrdiff_t o = row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
      store_pixels32(d + x, planes_to_rgb32_8(y + o + x, cb + o + x, cr + o + x), how);
    }
    for (; x < width; x += 4) {
      store_pixels16(d + x, planes_to_rgb32_4(y + o + x, cb + o + x, cr + o + x), how);
    }
  }
  _mm_sfence();
}

void plane_to_gray_wide(const float* plane, ptrdiff_t stride, int32_t width, int32_t height,
                        int32_t offset, uint32_t* out) {
  const PixelStore how = pixel_store_for(out);
  const __m256i off8 = _mm256_set1_epi32(offset);
  const __m128i off4 = _mm_set1_epi32(offset);
  for (int32_t row = 0; row < height; ++row) {
    const float* p = plane + row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) store_pixels32(d + x, plane_to_gray8(p + x, off8), how);
    for (; x < width; x += 4) store_pixels16(d + x, plane_to_gray4(p + x, off4), how);
  }
  _mm_sfence();
}

void yuy2_to_planes_wide(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                         float* y, float* cb, float* cr, ptrdiff_t stride,
                         ptrdiff_t chroma_stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    float* py = y + row * stride;
    float* pcb = cb + row * chroma_stride;
    float* pcr = cr + row * chroma_stride;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) yuy2_to_planes16(s + x / 2, py + x, pcb + x / 2, pcr + x / 2);
    for (; x < width; x += 8) yuy2_to_planes8(s + x / 2, py + x, pcb + x / 2, pcr + x / 2);
  }
  _mm_sfence();
}

}  // namespace

}  // namespace zolta
