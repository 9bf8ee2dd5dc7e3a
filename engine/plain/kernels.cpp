// SPDX-License-Identifier: BSD-2-Clause
// The plain path, one sample at a time, with the operations of every sample
// in the order the vector paths perform them (x86/sse_steps.h), so that it
// gives their bits on any processor. It needs no alignment beyond that of
// float and writes with ordinary stores.
#include "plain/kernels.h"

#include <cmath>
#include <cstring>

#include "sample_rules.h"
#include "temporal.h"

namespace zolta {

namespace {

using zolta::clamp_sample;
using zolta::round_sample;

// clamp_sample(round_sample(v), 255), in a form compilers turn into vector
// code: rounding and clamping to integer bounds commute; NaN and values from
// 2^31 up give 0, as their INT32_MIN does; adding and taking away 2^23 rounds
// a value in [0, 255] to the nearest integer, ties to even, in the default
// mode.
inline uint8_t to_byte(float v) {
  const float c = v > 0.0f && v < 2147483648.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
  return static_cast<uint8_t>(static_cast<int32_t>((c + 8388608.0f) - 8388608.0f));
}

// Writes x[n..n+7] and x[-8..-1] from the row itself, four samples at a time
// and in the vector paths' order, which also repeats a row of n = 4.
void extend_row(float* x, int32_t n) {
  std::memcpy(x + n, x, 4 * sizeof(float));
  std::memcpy(x + n + 4, x + 4, 4 * sizeof(float));
  std::memcpy(x - 4, x + n - 4, 4 * sizeof(float));
  std::memcpy(x - 8, x + n - 8, 4 * sizeof(float));
}

inline int32_t wrap_index(int32_t j, int32_t n) {
  const int32_t m = j % n;
  return m < 0 ? m + n : m;
}

struct Taps {
  float k0, k1, k2, k3;
};

// approx = ((c0 x[i-s] + c1 x[i]) + c2 x[i+s]) + c3 x[i+2s]
// detail = ((c2 x[i] - c3 x[i-s]) - c1 x[i+s]) + c0 x[i+2s]
inline void analyze_sample(float xm, float x0, float xp, float xpp, const Taps& c, float* approx,
                           float* detail) {
  float a = c.k0 * xm + c.k1 * x0;
  a = a + c.k2 * xp;
  a = a + c.k3 * xpp;
  float d = c.k2 * x0 - c.k3 * xm;
  d = d - c.k1 * xp;
  d = d + c.k0 * xpp;
  *approx = a;
  *detail = d;
}

// u = ((b0 A[i-2s] + b1 A[i-s]) + b2 A[i]) + b3 A[i+s]
// t = ((b3 D[i-2s] - b2 D[i-s]) + b1 D[i]) - b0 D[i+s]
// out = u + t where t > x or !(t >= -x) (so NaN passes), else u + 0; for
// every x, NaN included, that is where !(|t| <= x): one comparison.
inline float synthesize_sample(const float a[4], const float d[4], const Taps& b, float x) {
  float u = b.k0 * a[0] + b.k1 * a[1];
  u = u + b.k2 * a[2];
  u = u + b.k3 * a[3];
  float t = b.k3 * d[0] - b.k2 * d[1];
  t = t + b.k1 * d[2];
  t = t - b.k0 * d[3];
  const bool pass = !(std::fabs(t) <= x);
  return u + (pass ? t : 0.0f);
}

void analyze_plain(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                   int32_t a) {
  const Taps c{coefficients[0], coefficients[1], coefficients[2], coefficients[3]};
  const int32_t s = 1 << a;
  extend_row(x, n);
  // From i = n - 8 on, step 8 reaches past the written extension.
  const int32_t direct_end = s < 8 ? n : (n - 8 > 0 ? n - 8 : 0);
  int32_t i = 0;
  for (; i < direct_end; ++i) {
    analyze_sample(x[i - s], x[i], x[i + s], x[i + 2 * s], c, approx + i, detail + i);
  }
  for (; i < n; ++i) {
    analyze_sample(x[wrap_index(i - s, n)], x[wrap_index(i, n)], x[wrap_index(i + s, n)],
                   x[wrap_index(i + 2 * s, n)], c, approx + i, detail + i);
  }
}

// The threshold of output i: the level's own, or scaled by the sample's gain.
inline float threshold_at(float threshold, const float* gains, int32_t i) {
  return gains ? threshold * gains[i] : threshold;
}

void synthesize_line(float* out, float* approx, float* detail, const float* coefficients, int32_t n,
                     int32_t a, float threshold, const float* gains) {
  const Taps b{coefficients[0], coefficients[1], coefficients[2], coefficients[3]};
  const int32_t s = 1 << a;
  extend_row(detail, n);
  extend_row(approx, n);
  // Below i = 8, step 8 reaches in front of the written extension.
  const int32_t wrapped_end = s < 8 ? 0 : (n < 8 ? n : 8);
  int32_t i = 0;
  for (; i < wrapped_end; ++i) {
    float wa[4], wd[4];
    for (int k = 0; k < 4; ++k) {
      const int32_t j = wrap_index(i + (k - 2) * s, n);
      wa[k] = approx[j];
      wd[k] = detail[j];
    }
    out[i] = synthesize_sample(wa, wd, b, threshold_at(threshold, gains, i));
  }
  for (; i < n; ++i) {
    const float wa[4] = {approx[i - 2 * s], approx[i - s], approx[i], approx[i + s]};
    const float wd[4] = {detail[i - 2 * s], detail[i - s], detail[i], detail[i + s]};
    out[i] = synthesize_sample(wa, wd, b, threshold_at(threshold, gains, i));
  }
}

void synthesize_plain(float* out, float* approx, float* detail, const float* coefficients,
                      int32_t n, int32_t a, float threshold) {
  synthesize_line(out, approx, detail, coefficients, n, a, threshold, nullptr);
}

void synthesize_scaled_plain(float* out, float* approx, float* detail, const float* coefficients,
                             int32_t n, int32_t a, float threshold, const float* gains) {
  synthesize_line(out, approx, detail, coefficients, n, a, threshold, gains);
}

void analyze_span_plain(const float* x, float* approx, float* detail, const float* coefficients,
                        int32_t count, int32_t step) {
  const Taps c{coefficients[0], coefficients[1], coefficients[2], coefficients[3]};
  for (int32_t i = 0; i < count; ++i) {
    analyze_sample(x[i - step], x[i], x[i + step], x[i + 2 * step], c, approx + i, detail + i);
  }
}

void synthesize_span_line(float* out, const float* approx, const float* detail,
                          const float* coefficients, int32_t count, int32_t step, float threshold,
                          const float* gains) {
  const Taps b{coefficients[0], coefficients[1], coefficients[2], coefficients[3]};
  for (int32_t i = 0; i < count; ++i) {
    const float* a = approx + i - 2 * step;
    const float* d = detail + i - 2 * step;
    const float wa[4] = {a[0], a[step], a[2 * step], a[3 * step]};
    const float wd[4] = {d[0], d[step], d[2 * step], d[3 * step]};
    out[i] = synthesize_sample(wa, wd, b, threshold_at(threshold, gains, i));
  }
}

void synthesize_span_plain(float* out, const float* approx, const float* detail,
                           const float* coefficients, int32_t count, int32_t step,
                           float threshold) {
  synthesize_span_line(out, approx, detail, coefficients, count, step, threshold, nullptr);
}

void synthesize_span_scaled_plain(float* out, const float* approx, const float* detail,
                                  const float* coefficients, int32_t count, int32_t step,
                                  float threshold, const float* gains) {
  synthesize_span_line(out, approx, detail, coefficients, count, step, threshold, gains);
}

// Output words go through memcpy: the host's buffer need not be aligned.
inline void store_word(uint32_t* out, uint32_t word) {
  std::memcpy(out, &word, sizeof word);
}

void rgb32_to_planes_plain(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                           float* y, float* cb, float* cr, ptrdiff_t stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    const ptrdiff_t o = row * stride;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t px = s[x];
      const float b = static_cast<float>(static_cast<int32_t>(px & 0xff));
      const float g = static_cast<float>(static_cast<int32_t>((px >> 8) & 0xff));
      const float r = static_cast<float>(static_cast<int32_t>((px >> 16) & 0xff));
      float luma = g * 0.587f + r * 0.299f;
      luma = luma + b * 0.114f;
      y[o + x] = luma;
      cb[o + x] = (b - luma) * 0.565f;
      cr[o + x] = (r - luma) * 0.713f;
    }
  }
}

void planes_to_rgb32_plain(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                           int32_t width, int32_t height, uint32_t* out) {
  for (int32_t row = 0; row < height; ++row) {
    const ptrdiff_t o = row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    for (int32_t x = 0; x < width; ++x) {
      const float vy = y[o + x];
      const float vcb = cb[o + x];
      const float vcr = cr[o + x];
      const float b = vcb * 1.77f + vy;
      const float r = vcr * 1.403f + vy;
      float g = vcb * -0.344f + vcr * -0.714f;
      g = g + vy;
      store_word(d + x,
                 uint32_t{to_byte(b)} | uint32_t{to_byte(g)} << 8 | uint32_t{to_byte(r)} << 16);
    }
  }
}

void plane_to_gray_plain(const float* plane, ptrdiff_t stride, int32_t width, int32_t height,
                         int32_t offset, uint32_t* out) {
  for (int32_t row = 0; row < height; ++row) {
    const float* p = plane + row * stride;
    uint32_t* d = out + static_cast<ptrdiff_t>(row) * width;
    for (int32_t x = 0; x < width; ++x) {
      // The offset is added in 32 bits with wrap-around, as the vector add does.
      const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(round_sample(p[x])) +
                                             static_cast<uint32_t>(offset));
      store_word(d + x, static_cast<uint32_t>(clamp_sample(v, 255)) * 0x01010101u);
    }
  }
}

void yuy2_to_planes_plain(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                          float* y, float* cb, float* cr, ptrdiff_t stride,
                          ptrdiff_t chroma_stride) {
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* s = src + row * src_pitch;
    float* py = y + row * stride;
    float* pcb = cb + row * chroma_stride;
    float* pcr = cr + row * chroma_stride;
    for (int32_t k = 0; k < width / 2; ++k) {
      const uint32_t px = s[k];  // Y0 Cb Y1 Cr
      py[2 * k] = static_cast<float>(static_cast<int32_t>(px & 0xff));
      py[2 * k + 1] = static_cast<float>(static_cast<int32_t>((px >> 16) & 0xff));
      pcb[k] = static_cast<float>(static_cast<int32_t>((px >> 8) & 0xff));
      pcr[k] = static_cast<float>(static_cast<int32_t>(px >> 24));
    }
  }
}

void planes_to_yuy2_plain(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                          ptrdiff_t chroma_stride, int32_t width, int32_t height, uint8_t* out) {
  for (int32_t row = 0; row < height; ++row) {
    const float* py = y + row * stride;
    const float* pcb = cb + row * chroma_stride;
    const float* pcr = cr + row * chroma_stride;
    uint8_t* d = out + static_cast<ptrdiff_t>(row) * width * 2;
    for (int32_t k = 0; k < width / 2; ++k) {
      d[4 * k] = to_byte(py[2 * k]);
      d[4 * k + 1] = to_byte(pcb[k]);
      d[4 * k + 2] = to_byte(py[2 * k + 1]);
      d[4 * k + 3] = to_byte(pcr[k]);
    }
  }
}

}  // namespace

void dsp_init_plain(DspKernels& k) {
  k.path = kSimdPlain;
  k.name = "plain";
  k.analyze = analyze_plain;
  k.synthesize = synthesize_plain;
  k.analyze_span = analyze_span_plain;
  k.synthesize_span = synthesize_span_plain;
  k.synthesize_scaled = synthesize_scaled_plain;
  k.synthesize_span_scaled = synthesize_span_scaled_plain;
  k.rgb32_to_planes = rgb32_to_planes_plain;
  k.planes_to_rgb32 = planes_to_rgb32_plain;
  k.plane_to_gray = plane_to_gray_plain;
  k.yuy2_to_planes = yuy2_to_planes_plain;
  k.planes_to_yuy2 = planes_to_yuy2_plain;
  k.temporal_plane = temporal_plane;
  k.temporal_plane_bytes = temporal_plane_bytes;
  k.temporal_judge_bytes = temporal_judge_bytes;
  k.temporal_row_bytes = temporal_row_bytes;
  k.restore_strip_packed = restore_strip_packed;
  k.restore_detail = restore_detail;
  k.restore_strip = restore_strip;
}

}  // namespace zolta
