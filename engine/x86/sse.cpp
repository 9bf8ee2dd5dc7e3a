// SPDX-License-Identifier: BSD-2-Clause
// The baseline path: four samples per step with SSE2.
#include <emmintrin.h>

#include "byte_blocks.h"
#include "kernels.h"
#include "sse_steps.h"
#include "temporal_steps.h"

namespace zolta {

namespace {

void analyze_sse(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                 int32_t a) {
  const Taps4 c = broadcast_taps(coefficients);
  const int32_t s = 1 << a;
  extend_row(x, n);
  // Output vectors from i = n + 4 - 2s on reach past x[n + 7] (step 8 only).
  const int32_t direct_end = s < 8 ? n : (n - 8 > 0 ? n - 8 : 0);
  int32_t i = 0;
  for (; i < direct_end; i += 4) {
    analyze_step4(x + i - s, x + i, x + i + s, x + i + 2 * s, c, approx + i, detail + i);
  }
  for (; i < n; i += 4) analyze_wrapped4(x, n, i, s, c, approx, detail);
}

void synthesize_sse(float* out, float* approx, float* detail, const float* coefficients, int32_t n,
                    int32_t a, float threshold) {
  synthesize_row4(out, approx, detail, coefficients, n, a, threshold, nullptr);
}

void synthesize_scaled_sse(float* out, float* approx, float* detail, const float* coefficients,
                           int32_t n, int32_t a, float threshold, const float* gains) {
  synthesize_row4(out, approx, detail, coefficients, n, a, threshold, gains);
}

void analyze_span_sse(const float* x, float* approx, float* detail, const float* coefficients,
                      int32_t count, int32_t step) {
  analyze_span4(x, approx, detail, broadcast_taps(coefficients), 0, count, step);
}

void synthesize_span_sse(float* out, const float* approx, const float* detail,
                         const float* coefficients, int32_t count, int32_t step, float threshold) {
  synthesize_span4(approx, detail, broadcast_taps(coefficients), _mm_set1_ps(threshold), 0, count,
                   step, out);
}

void synthesize_span_scaled_sse(float* out, const float* approx, const float* detail,
                                const float* coefficients, int32_t count, int32_t step,
                                float threshold, const float* gains) {
  synthesize_span4(approx, detail, broadcast_taps(coefficients), _mm_set1_ps(threshold), 0, count,
                   step, out, gains);
}

void rgb32_to_planes_sse(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                         float* y, float* cb, float* cr, ptrdiff_t stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    const ptrdiff_t o = row * stride;
    for (int32_t x = 0; x < width; x += 4)
      rgb32_to_planes4(s + x, y + o + x, cb + o + x, cr + o + x);
  }
  _mm_sfence();
}

void planes_to_rgb32_sse(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                         int32_t width, int32_t height, uint32_t* out) {
  const PixelStore how = pixel_store_for(out);
  for (int32_t row = 0; row < height; ++row) {
    const ptrdiff_t o = row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    for (int32_t x = 0; x < width; x += 4) {
      store_pixels16(d + x, planes_to_rgb32_4(y + o + x, cb + o + x, cr + o + x), how);
    }
  }
  _mm_sfence();
}

void plane_to_gray_sse(const float* plane, ptrdiff_t stride, int32_t width, int32_t height,
                       int32_t offset, uint32_t* out) {
  const PixelStore how = pixel_store_for(out);
  const __m128i off = _mm_set1_epi32(offset);
  for (int32_t row = 0; row < height; ++row) {
    const float* p = plane + row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    for (int32_t x = 0; x < width; x += 4) store_pixels16(d + x, plane_to_gray4(p + x, off), how);
  }
  _mm_sfence();
}

void yuy2_to_planes_sse(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                        float* y, float* cb, float* cr, ptrdiff_t stride, ptrdiff_t chroma_stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    float* py = y + row * stride;
    float* pcb = cb + row * chroma_stride;
    float* pcr = cr + row * chroma_stride;
    for (int32_t x = 0; x < width; x += 8) {
      yuy2_to_planes8(s + x / 2, py + x, pcb + x / 2, pcr + x / 2);
    }
  }
  _mm_sfence();
}

void planes_to_yuy2_sse(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                        ptrdiff_t chroma_stride, int32_t width, int32_t height, uint8_t* out) {
  const PixelStore how = pixel_store_for(out);
  for (int32_t row = 0; row < height; ++row) {
    const float* py = y + row * stride;
    const float* pcb = cb + row * chroma_stride;
    const float* pcr = cr + row * chroma_stride;
    uint8_t* d = out + static_cast<ptrdiff_t>(row) * width * 2;
    for (int32_t x = 0; x < width; x += 8) {
      store_pixels16(d + 2 * x, planes_to_yuy2_8(py + x, pcb + x / 2, pcr + x / 2), how);
    }
  }
  _mm_sfence();
}

}  // namespace

// Every entry has a four-wide version.
void dsp_init_sse(DspKernels& k) {
  k.path = kSimdSse;
  k.name = "sse";
  k.analyze = analyze_sse;
  k.synthesize = synthesize_sse;
  k.analyze_span = analyze_span_sse;
  k.synthesize_span = synthesize_span_sse;
  k.synthesize_scaled = synthesize_scaled_sse;
  k.synthesize_span_scaled = synthesize_span_scaled_sse;
  k.rgb32_to_planes = rgb32_to_planes_sse;
  k.planes_to_rgb32 = planes_to_rgb32_sse;
  k.plane_to_gray = plane_to_gray_sse;
  k.yuy2_to_planes = yuy2_to_planes_sse;
  k.planes_to_yuy2 = planes_to_yuy2_sse;
  steps::set_temporal_entries(k);
}

}  // namespace zolta
