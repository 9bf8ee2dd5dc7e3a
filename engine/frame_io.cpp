// SPDX-License-Identifier: BSD-2-Clause
#include "frame_io.h"

#include <cstring>

#include "denoise.h"
#include "sample_rules.h"

namespace zolta {

namespace {

// One channel of a frame in memory: its first sample, the bytes from row to
// row, and the samples from one sample to the next (1 for planes of their
// own; 2, 3 or 4 for the channels of packed frames; the caller's pixel step
// for planes interleaved in one picture).
struct Channel {
  uint8_t* base;
  ptrdiff_t stride;
  int32_t step;
};

// Index of sample x of a row: kStep samples apart, or the channel's own step
// when kStep is 0 (interleaved planes).
template <int kStep>
inline ptrdiff_t at(const Channel& c, int32_t x) {
  return static_cast<ptrdiff_t>(kStep != 0 ? kStep : c.step) * x;
}

template <typename T>
T* row_at(const Channel& c, int32_t r) {
  return reinterpret_cast<T*>(c.base + r * c.stride);
}

// Channels of a frame: planar frames plane by plane; packed frames by the
// byte offsets of their pixels.
void frame_channels(const StreamLayout& layout, const zolta_frame& f, Channel out[3]) {
  uint8_t* p0 = static_cast<uint8_t*>(f.data[0]);
  const ptrdiff_t s0 = f.stride[0];
  switch (layout.family) {
    case ZOLTA_FAMILY_RGB32:  // B, G, R, unused
      out[0] = {p0 + 2, s0, 4};
      out[1] = {p0 + 1, s0, 4};
      out[2] = {p0, s0, 4};
      return;
    case ZOLTA_FAMILY_RGB24:  // R, G, B
      out[0] = {p0, s0, 3};
      out[1] = {p0 + 1, s0, 3};
      out[2] = {p0 + 2, s0, 3};
      return;
    case ZOLTA_FAMILY_YUY2:  // Y0, Cb, Y1, Cr
      out[0] = {p0, s0, 2};
      out[1] = {p0 + 1, s0, 4};
      out[2] = {p0 + 3, s0, 4};
      return;
    default:
      for (int p = 0; p < 3; ++p) {
        const ptrdiff_t step = f.step[p] != 0 ? f.step[p] / layout.sample_bytes : 1;
        out[p] = {static_cast<uint8_t*>(f.data[p]), f.stride[p], static_cast<int32_t>(step)};
      }
      return;
  }
}

// ---- in -------------------------------------------------------------------

// Integer samples: x * k (k = 255 / (2^b - 1), exactly 1 at 8 bits).
template <typename T, int kStep>
void load_integer(const Channel& c, int32_t w, int32_t h, float k, float* dst, ptrdiff_t stride) {
  for (int32_t r = 0; r < h; ++r) {
    const T* s = row_at<const T>(c, r);
    float* d = dst + r * stride;
    for (int32_t x = 0; x < w; ++x) d[x] = static_cast<float>(s[at<kStep>(c, x)]) * k;
  }
}

// Float samples: luma v * 255, chroma c * 255 + 128.
template <int kStep>
void load_float(const Channel& c, int32_t w, int32_t h, bool chroma, float* dst, ptrdiff_t stride) {
  for (int32_t r = 0; r < h; ++r) {
    const float* s = row_at<const float>(c, r);
    float* d = dst + r * stride;
    if (chroma) {
      for (int32_t x = 0; x < w; ++x) d[x] = s[at<kStep>(c, x)] * 255.0f + 128.0f;
    } else {
      for (int32_t x = 0; x < w; ++x) d[x] = s[at<kStep>(c, x)] * 255.0f;
    }
  }
}

void load_plane_rows(const StreamLayout& layout, const Channel& c, int p, int32_t h, float* dst,
                     ptrdiff_t stride) {
  const int32_t w = layout.plane_width[p];
  if (layout.is_float) {
    if (c.step == 1) {
      load_float<1>(c, w, h, p > 0, dst, stride);
    } else {
      load_float<0>(c, w, h, p > 0, dst, stride);
    }
  } else if (layout.sample_bytes == 2) {
    if (c.step == 1) {
      load_integer<uint16_t, 1>(c, w, h, layout.k_in, dst, stride);
    } else {
      load_integer<uint16_t, 0>(c, w, h, layout.k_in, dst, stride);
    }
  } else if (c.step == 1) {
    load_integer<uint8_t, 1>(c, w, h, layout.k_in, dst, stride);
  } else if (c.step == 2) {
    load_integer<uint8_t, 2>(c, w, h, layout.k_in, dst, stride);
  } else if (c.step == 4) {
    load_integer<uint8_t, 4>(c, w, h, layout.k_in, dst, stride);
  } else {
    load_integer<uint8_t, 0>(c, w, h, layout.k_in, dst, stride);
  }
}

// R, G, B on the 8-bit scale to Y, Cb, Cr: the 32-bit RGB formulas.
template <typename T>
void load_rgb(const StreamLayout& layout, const Channel c[3], const FloatPlanes& out) {
  const float k = layout.is_float ? 255.0f : layout.k_in;
  for (int32_t r = 0; r < layout.height; ++r) {
    const T* sr = row_at<const T>(c[0], r);
    const T* sg = row_at<const T>(c[1], r);
    const T* sb = row_at<const T>(c[2], r);
    float* py = out.plane[0] + r * out.stride[0];
    float* pcb = out.plane[1] + r * out.stride[1];
    float* pcr = out.plane[2] + r * out.stride[2];
    const ptrdiff_t step_r = c[0].step, step_g = c[1].step, step_b = c[2].step;
    for (int32_t x = 0; x < layout.width; ++x) {
      const float red = static_cast<float>(sr[step_r * x]) * k;
      const float g = static_cast<float>(sg[step_g * x]) * k;
      const float b = static_cast<float>(sb[step_b * x]) * k;
      const float y = (g * 0.587f + red * 0.299f) + b * 0.114f;
      py[x] = y;
      pcb[x] = (b - y) * 0.565f;
      pcr[x] = (red - y) * 0.713f;
    }
  }
}

// Pixels of a row the two functions below take at a time.
constexpr int32_t kPixelRun = 128;

// n samples `step` apart to an array and back; the step of RGBA (4) fixed,
// so that the compiler unrolls the copy.
template <typename T, int kStep>
void gather_run(const T* from, ptrdiff_t step, int32_t n, T* to) {
  const ptrdiff_t s = kStep != 0 ? kStep : step;
  for (int32_t i = 0; i < n; ++i) to[i] = from[s * i];
}

template <typename T, int kStep>
void scatter_run(const T* from, ptrdiff_t step, int32_t n, T* to) {
  const ptrdiff_t s = kStep != 0 ? kStep : step;
  for (int32_t i = 0; i < n; ++i) to[s * i] = from[i];
}

// load_rgb for integer samples, a run of pixels at a time: the channels'
// samples gathered into arrays first, so that the compiler vectorises the
// arithmetic (the same operations, in the same order, per pixel).
template <typename T>
void load_rgb_runs(const StreamLayout& layout, const Channel c[3], const FloatPlanes& out) {
  const float k = layout.k_in;
  T run[3][kPixelRun];
  for (int32_t r = 0; r < layout.height; ++r) {
    for (int32_t x0 = 0; x0 < layout.width; x0 += kPixelRun) {
      const int32_t n = layout.width - x0 < kPixelRun ? layout.width - x0 : kPixelRun;
      for (int ch = 0; ch < 3; ++ch) {
        const ptrdiff_t step = c[ch].step;
        const T* s = row_at<const T>(c[ch], r) + step * x0;
        if (step == 4) {
          gather_run<T, 4>(s, step, n, run[ch]);
        } else {
          gather_run<T, 0>(s, step, n, run[ch]);
        }
      }
      float* py = out.plane[0] + r * out.stride[0] + x0;
      float* pcb = out.plane[1] + r * out.stride[1] + x0;
      float* pcr = out.plane[2] + r * out.stride[2] + x0;
      for (int32_t i = 0; i < n; ++i) {
        const float red = static_cast<float>(run[0][i]) * k;
        const float g = static_cast<float>(run[1][i]) * k;
        const float b = static_cast<float>(run[2][i]) * k;
        const float y = (g * 0.587f + red * 0.299f) + b * 0.114f;
        py[i] = y;
        pcb[i] = (b - y) * 0.565f;
        pcr[i] = (red - y) * 0.713f;
      }
    }
  }
}

// ---- out ------------------------------------------------------------------

// Grey of a sample of the shown plane: integers clamp(round(v * k) + offset),
// float (v + 128 [High]) / 255.
int32_t gray_integer(float v, float k, int32_t offset, int32_t max) {
  const int64_t g = static_cast<int64_t>(round_sample(v * k)) + offset;
  return g < 0 ? 0 : (g > max ? max : static_cast<int32_t>(g));
}

float gray_float(float v, bool high) {
  return high ? (v + 128.0f) / 255.0f : v / 255.0f;
}

int32_t diff_integer(int32_t in, int32_t out, int32_t half, int32_t max) {
  const int32_t d = 8 * (in - out) + half;
  return d < 0 ? 0 : (d > max ? max : d);
}

// The 8-bit-scale offset of float luma-like output in the Diff view.
constexpr float kDiffLift = 128.0f / 255.0f;

template <typename T, int kStep>
void store_integer(const float* src, ptrdiff_t stride, int32_t w, int32_t h, float k, float max,
                   const Channel& c) {
  for (int32_t r = 0; r < h; ++r) {
    const float* s = src + r * stride;
    T* d = row_at<T>(c, r);
    for (int32_t x = 0; x < w; ++x) d[at<kStep>(c, x)] = static_cast<T>(quantize(s[x], k, max));
  }
}

template <typename T, int kStep>
void diff_integer_plane(const float* src, ptrdiff_t stride, int32_t w, int32_t h, float k,
                        int32_t max, const Channel& in, const Channel& out) {
  const float maxf = static_cast<float>(max);
  const int32_t half = (max + 1) / 2;
  for (int32_t r = 0; r < h; ++r) {
    const float* s = src + r * stride;
    const T* i = row_at<const T>(in, r);
    T* d = row_at<T>(out, r);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t o = quantize(s[x], k, maxf);
      d[at<kStep>(out, x)] = static_cast<T>(diff_integer(i[at<kStep>(in, x)], o, half, max));
    }
  }
}

template <int kStep>
void store_float(const float* src, ptrdiff_t stride, int32_t w, int32_t h, bool chroma,
                 const Channel& c) {
  for (int32_t r = 0; r < h; ++r) {
    const float* s = src + r * stride;
    float* d = row_at<float>(c, r);
    if (chroma) {
      for (int32_t x = 0; x < w; ++x) d[at<kStep>(c, x)] = (s[x] - 128.0f) / 255.0f;
    } else {
      for (int32_t x = 0; x < w; ++x) d[at<kStep>(c, x)] = s[x] / 255.0f;
    }
  }
}

template <int kStep>
void diff_float_plane(const float* src, ptrdiff_t stride, int32_t w, int32_t h, bool chroma,
                      const Channel& in, const Channel& out) {
  for (int32_t r = 0; r < h; ++r) {
    const float* s = src + r * stride;
    const float* i = row_at<const float>(in, r);
    float* d = row_at<float>(out, r);
    for (int32_t x = 0; x < w; ++x) {
      if (chroma) {
        d[at<kStep>(out, x)] = 8.0f * (i[at<kStep>(in, x)] - (s[x] - 128.0f) / 255.0f);
      } else {
        d[at<kStep>(out, x)] = 8.0f * (i[at<kStep>(in, x)] - s[x] / 255.0f) + kDiffLift;
      }
    }
  }
}

template <typename T, int kStep>
void fill_plane(const Channel& c, int32_t w, int32_t h, T value) {
  for (int32_t r = 0; r < h; ++r) {
    T* d = row_at<T>(c, r);
    for (int32_t x = 0; x < w; ++x) d[at<kStep>(c, x)] = value;
  }
}

// Planes of the YUV and GRAY families (and YUY2 through its channels).
template <typename T, int kStepY, int kStepC>
void store_yuv_integer(const StreamLayout& L, const FloatPlanes& planes, const OutputView& view,
                       const Channel in[3], const Channel out[3]) {
  const float maxf = static_cast<float>(L.max_value);
  for (int p = 0; p < L.planes; ++p) {
    const int32_t w = L.plane_width[p], h = L.plane_height[p];
    if (view.kind == ViewKind::kNormal) {
      if (p == 0) {
        store_integer<T, kStepY>(planes.plane[p], planes.stride[p], w, h, L.k_out, maxf, out[p]);
      } else {
        store_integer<T, kStepC>(planes.plane[p], planes.stride[p], w, h, L.k_out, maxf, out[p]);
      }
    } else if (view.kind == ViewKind::kDiff) {
      if (p == 0) {
        diff_integer_plane<T, kStepY>(planes.plane[p], planes.stride[p], w, h, L.k_out, L.max_value,
                                      in[p], out[p]);
      } else {
        diff_integer_plane<T, kStepC>(planes.plane[p], planes.stride[p], w, h, L.k_out, L.max_value,
                                      in[p], out[p]);
      }
    } else if (p > 0) {
      fill_plane<T, kStepC>(out[p], w, h, static_cast<T>((L.max_value + 1) / 2));
    }
  }
  if (view.kind != ViewKind::kGray) return;
  // Grey: the shown plane at full size, each sample repeated.
  const int s = view.plane;
  const int32_t sx = L.plane_width[s] == L.width ? 0 : (L.width / L.plane_width[s] == 2 ? 1 : 2);
  const int32_t sy = L.plane_height[s] == L.height ? 0 : 1;
  const int32_t offset = view.high ? (L.max_value + 1) / 2 : 0;
  for (int32_t r = 0; r < L.height; ++r) {
    const float* src = planes.plane[s] + (r >> sy) * planes.stride[s];
    T* d = row_at<T>(out[0], r);
    for (int32_t x = 0; x < L.width; ++x) {
      d[at<kStepY>(out[0], x)] =
          static_cast<T>(gray_integer(src[x >> sx], L.k_out, offset, L.max_value));
    }
  }
}

template <int kStep>
void store_yuv_float(const StreamLayout& L, const FloatPlanes& planes, const OutputView& view,
                     const Channel in[3], const Channel out[3]) {
  for (int p = 0; p < L.planes; ++p) {
    const int32_t w = L.plane_width[p], h = L.plane_height[p];
    if (view.kind == ViewKind::kNormal) {
      store_float<kStep>(planes.plane[p], planes.stride[p], w, h, p > 0, out[p]);
    } else if (view.kind == ViewKind::kDiff) {
      diff_float_plane<kStep>(planes.plane[p], planes.stride[p], w, h, p > 0, in[p], out[p]);
    } else if (p > 0) {
      fill_plane<float, kStep>(out[p], w, h, 0.0f);
    }
  }
  if (view.kind != ViewKind::kGray) return;
  const int s = view.plane;
  const int32_t sx = L.plane_width[s] == L.width ? 0 : (L.width / L.plane_width[s] == 2 ? 1 : 2);
  const int32_t sy = L.plane_height[s] == L.height ? 0 : 1;
  for (int32_t r = 0; r < L.height; ++r) {
    const float* src = planes.plane[s] + (r >> sy) * planes.stride[s];
    float* d = row_at<float>(out[0], r);
    for (int32_t x = 0; x < L.width; ++x)
      d[at<kStep>(out[0], x)] = gray_float(src[x >> sx], view.high);
  }
}

// Y, Cb, Cr back to R, G, B on the 8-bit scale: the 32-bit RGB formulas.
inline void ycc_to_rgb(float y, float cb, float cr, float rgb[3]) {
  rgb[2] = cb * 1.77f + y;
  rgb[0] = cr * 1.403f + y;
  rgb[1] = (cb * -0.344f + cr * -0.714f) + y;
}

template <typename T>
void store_rgb_integer(const StreamLayout& L, const FloatPlanes& planes, const OutputView& view,
                       const Channel in[3], const Channel out[3]) {
  const bool rgb32 = L.family == ZOLTA_FAMILY_RGB32;
  const float maxf = static_cast<float>(L.max_value);
  const int32_t half = (L.max_value + 1) / 2;
  const int32_t offset = view.high ? half : 0;
  for (int32_t r = 0; r < L.height; ++r) {
    const float* py = planes.plane[0] + r * planes.stride[0];
    const float* pcb = planes.plane[1] + r * planes.stride[1];
    const float* pcr = planes.plane[2] + r * planes.stride[2];
    const float* shown = planes.plane[view.plane] + r * planes.stride[view.plane];
    T* d[3] = {row_at<T>(out[0], r), row_at<T>(out[1], r), row_at<T>(out[2], r)};
    const T* s[3] = {row_at<const T>(in[0], r), row_at<const T>(in[1], r),
                     row_at<const T>(in[2], r)};
    // The unused fourth byte of 32-bit RGB: the grey in grey pictures, else 0.
    uint8_t* spare = rgb32 ? reinterpret_cast<uint8_t*>(d[2]) + 3 : nullptr;
    for (int32_t x = 0; x < L.width; ++x) {
      const ptrdiff_t o[3] = {at<0>(out[0], x), at<0>(out[1], x), at<0>(out[2], x)};
      if (view.kind == ViewKind::kGray) {
        const T g = static_cast<T>(gray_integer(shown[x], L.k_out, offset, L.max_value));
        d[0][o[0]] = g;
        d[1][o[1]] = g;
        d[2][o[2]] = g;
        if (spare) spare[o[2]] = static_cast<uint8_t>(g);
        continue;
      }
      float rgb[3];
      ycc_to_rgb(py[x], pcb[x], pcr[x], rgb);
      int32_t v[3];
      for (int c = 0; c < 3; ++c) v[c] = quantize(rgb[c], L.k_out, maxf);
      if (view.kind == ViewKind::kDiff) {
        for (int c = 0; c < 3; ++c) {
          v[c] = diff_integer(s[c][at<0>(in[c], x)], v[c], half, L.max_value);
        }
      }
      for (int c = 0; c < 3; ++c) d[c][o[c]] = static_cast<T>(v[c]);
      if (spare) spare[o[2]] = 0;
    }
  }
}

// The normal view of store_rgb_integer a run of pixels at a time (for any
// family but 32-bit RGB, whose fourth byte it also writes): the arithmetic
// into arrays, which the compiler vectorises, then the samples to their
// places.
template <typename T>
void store_rgb_runs(const StreamLayout& L, const FloatPlanes& planes, const Channel out[3]) {
  const float maxf = static_cast<float>(L.max_value);
  const float k = L.k_out;
  T run[3][kPixelRun];
  for (int32_t r = 0; r < L.height; ++r) {
    for (int32_t x0 = 0; x0 < L.width; x0 += kPixelRun) {
      const int32_t n = L.width - x0 < kPixelRun ? L.width - x0 : kPixelRun;
      const float* py = planes.plane[0] + r * planes.stride[0] + x0;
      const float* pcb = planes.plane[1] + r * planes.stride[1] + x0;
      const float* pcr = planes.plane[2] + r * planes.stride[2] + x0;
      for (int32_t i = 0; i < n; ++i) {
        const float y = py[i], cb = pcb[i], cr = pcr[i];
        // ycc_to_rgb, written out so that it vectorises.
        const float blue = cb * 1.77f + y;
        const float red = cr * 1.403f + y;
        const float green = (cb * -0.344f + cr * -0.714f) + y;
        run[0][i] = static_cast<T>(quantize(red, k, maxf));
        run[1][i] = static_cast<T>(quantize(green, k, maxf));
        run[2][i] = static_cast<T>(quantize(blue, k, maxf));
      }
      for (int ch = 0; ch < 3; ++ch) {
        const ptrdiff_t step = out[ch].step;
        T* d = row_at<T>(out[ch], r) + step * x0;
        if (step == 4) {
          scatter_run<T, 4>(run[ch], step, n, d);
        } else {
          scatter_run<T, 0>(run[ch], step, n, d);
        }
      }
    }
  }
}

void store_rgb_float(const StreamLayout& L, const FloatPlanes& planes, const OutputView& view,
                     const Channel in[3], const Channel out[3]) {
  for (int32_t r = 0; r < L.height; ++r) {
    const float* py = planes.plane[0] + r * planes.stride[0];
    const float* pcb = planes.plane[1] + r * planes.stride[1];
    const float* pcr = planes.plane[2] + r * planes.stride[2];
    const float* shown = planes.plane[view.plane] + r * planes.stride[view.plane];
    float* d[3] = {row_at<float>(out[0], r), row_at<float>(out[1], r), row_at<float>(out[2], r)};
    const float* s[3] = {row_at<const float>(in[0], r), row_at<const float>(in[1], r),
                         row_at<const float>(in[2], r)};
    for (int32_t x = 0; x < L.width; ++x) {
      const ptrdiff_t o[3] = {at<0>(out[0], x), at<0>(out[1], x), at<0>(out[2], x)};
      if (view.kind == ViewKind::kGray) {
        const float g = gray_float(shown[x], view.high);
        d[0][o[0]] = g;
        d[1][o[1]] = g;
        d[2][o[2]] = g;
        continue;
      }
      float rgb[3];
      ycc_to_rgb(py[x], pcb[x], pcr[x], rgb);
      for (int c = 0; c < 3; ++c) rgb[c] = rgb[c] / 255.0f;
      if (view.kind == ViewKind::kDiff) {
        for (int c = 0; c < 3; ++c) rgb[c] = 8.0f * (s[c][at<0>(in[c], x)] - rgb[c]) + kDiffLift;
      }
      for (int c = 0; c < 3; ++c) d[c][o[c]] = rgb[c];
    }
  }
}

}  // namespace

void frame_to_planes(const StreamLayout& layout, const zolta_frame& in, const FloatPlanes& out) {
  Channel c[3];
  frame_channels(layout, in, c);
  if (layout.rgb) {
    if (layout.is_float) {
      load_rgb<float>(layout, c, out);
    } else if (layout.sample_bytes == 2) {
      load_rgb_runs<uint16_t>(layout, c, out);
    } else {
      load_rgb_runs<uint8_t>(layout, c, out);
    }
    return;
  }
  for (int p = 0; p < layout.planes; ++p) {
    load_plane_rows(layout, c[p], p, layout.plane_height[p], out.plane[p], out.stride[p]);
  }
}

void plane_row_to_floats(const StreamLayout& layout, const zolta_frame& in, int p, int32_t row,
                         float* line) {
  Channel c[3];
  frame_channels(layout, in, c);
  Channel one = c[p];
  one.base += row * one.stride;
  load_plane_rows(layout, one, p, 1, line, 0);
}

void plane_rows_to_floats(const StreamLayout& layout, const zolta_frame& in, int p, int32_t first,
                          int32_t count, float* plane, ptrdiff_t stride) {
  Channel c[3];
  frame_channels(layout, in, c);
  Channel part = c[p];
  part.base += first * part.stride;
  load_plane_rows(layout, part, p, count, plane + first * stride, stride);
}

void prefetch_plane_row(const StreamLayout& layout, const zolta_frame& in, int p, int32_t row) {
  if (p >= layout.frame_planes) return;  // planes of packed frames share one
  const uint8_t* first = static_cast<const uint8_t*>(in.data[p]) + row * in.stride[p];
  const size_t bytes = frame_row_bytes(layout, p);
  for (size_t at = 0; at < bytes; at += 64) __builtin_prefetch(first + at);
}

void planes_to_frame(const StreamLayout& layout, const FloatPlanes& planes, const OutputView& view,
                     const zolta_frame& in, const zolta_frame& out) {
  Channel ci[3], co[3];
  frame_channels(layout, in, ci);
  frame_channels(layout, out, co);
  if (layout.rgb) {
    const bool runs = view.kind == ViewKind::kNormal && layout.family != ZOLTA_FAMILY_RGB32;
    if (layout.is_float) {
      store_rgb_float(layout, planes, view, ci, co);
    } else if (layout.sample_bytes == 2) {
      if (runs) {
        store_rgb_runs<uint16_t>(layout, planes, co);
      } else {
        store_rgb_integer<uint16_t>(layout, planes, view, ci, co);
      }
    } else if (runs) {
      store_rgb_runs<uint8_t>(layout, planes, co);
    } else {
      store_rgb_integer<uint8_t>(layout, planes, view, ci, co);
    }
  } else if (layout.family == ZOLTA_FAMILY_YUY2) {
    store_yuv_integer<uint8_t, 2, 4>(layout, planes, view, ci, co);
  } else if (frame_interleaved(layout, in) || frame_interleaved(layout, out)) {
    // Planes interleaved in one picture: each channel at its own step.
    if (layout.is_float) {
      store_yuv_float<0>(layout, planes, view, ci, co);
    } else if (layout.sample_bytes == 2) {
      store_yuv_integer<uint16_t, 0, 0>(layout, planes, view, ci, co);
    } else {
      store_yuv_integer<uint8_t, 0, 0>(layout, planes, view, ci, co);
    }
  } else if (layout.is_float) {
    store_yuv_float<1>(layout, planes, view, ci, co);
  } else if (layout.sample_bytes == 2) {
    store_yuv_integer<uint16_t, 1, 1>(layout, planes, view, ci, co);
  } else {
    store_yuv_integer<uint8_t, 1, 1>(layout, planes, view, ci, co);
  }
}

namespace {

// The normal view of w x h floats of plane p, rows `stride` floats apart,
// into the channel.
void store_plane(const StreamLayout& L, const float* src, ptrdiff_t stride, int32_t w, int32_t h,
                 int p, const Channel& c) {
  if (L.is_float) {
    store_float<1>(src, stride, w, h, p > 0, c);
  } else if (L.sample_bytes == 2) {
    store_integer<uint16_t, 1>(src, stride, w, h, L.k_out, static_cast<float>(L.max_value), c);
  } else {
    store_integer<uint8_t, 1>(src, stride, w, h, L.k_out, static_cast<float>(L.max_value), c);
  }
}

}  // namespace

void plane_to_frame(const StreamLayout& L, const float* plane, ptrdiff_t stride, int p,
                    const zolta_frame& out) {
  const Channel c{static_cast<uint8_t*>(out.data[p]), out.stride[p], 1};
  store_plane(L, plane, stride, L.plane_width[p], L.plane_height[p], p, c);
}

namespace {

// store_integer over rows of a whole strip: a row's samples into an array
// of fixed size, then to the frame, so that the compiler vectorises the row
// without checking whether the two overlap.
template <typename T>
void store_strip_rows(const float* strip, int32_t rows, float k, float max, const Channel& c) {
  for (int32_t r = 0; r < rows; ++r) {
    const float* s = strip + r * kStripWidth;
    T v[kStripWidth];
    for (int32_t x = 0; x < kStripWidth; ++x) v[x] = static_cast<T>(quantize(s[x], k, max));
    std::memcpy(row_at<T>(c, r), v, sizeof v);
  }
}

}  // namespace

void strip_to_frame(const StreamLayout& L, const float* strip, int32_t width, int32_t rows, int p,
                    int32_t first, const zolta_frame& out) {
  uint8_t* base =
      static_cast<uint8_t*>(out.data[p]) + static_cast<ptrdiff_t>(first) * L.sample_bytes;
  const Channel c{base, out.stride[p], 1};
  if (width == kStripWidth && !L.is_float) {
    const float max = static_cast<float>(L.max_value);
    if (L.sample_bytes == 2) {
      store_strip_rows<uint16_t>(strip, rows, L.k_out, max, c);
    } else {
      store_strip_rows<uint8_t>(strip, rows, L.k_out, max, c);
    }
    return;
  }
  store_plane(L, strip, width, width, rows, p, c);
}

void copy_frame(const StreamLayout& layout, const zolta_frame& in, const zolta_frame& out) {
  if (frame_interleaved(layout, in) || frame_interleaved(layout, out)) {
    // Sample by sample, so that what lies between the samples (alpha) is
    // left as it is.
    Channel ci[3], co[3];
    frame_channels(layout, in, ci);
    frame_channels(layout, out, co);
    const size_t bytes = static_cast<size_t>(layout.sample_bytes);
    for (int p = 0; p < layout.frame_planes; ++p) {
      if (ci[p].base == co[p].base && ci[p].stride == co[p].stride && ci[p].step == co[p].step) {
        continue;
      }
      const int32_t w = static_cast<int32_t>(frame_row_bytes(layout, p) / bytes);
      for (int32_t r = 0; r < frame_rows(layout, p); ++r) {
        const uint8_t* s = row_at<const uint8_t>(ci[p], r);
        uint8_t* d = row_at<uint8_t>(co[p], r);
        for (int32_t x = 0; x < w; ++x) {
          std::memcpy(d + at<0>(co[p], x) * bytes, s + at<0>(ci[p], x) * bytes, bytes);
        }
      }
    }
    return;
  }
  for (int p = 0; p < layout.frame_planes; ++p) {
    const size_t bytes = frame_row_bytes(layout, p);
    const int32_t rows = frame_rows(layout, p);
    const uint8_t* s = static_cast<const uint8_t*>(in.data[p]);
    uint8_t* d = static_cast<uint8_t*>(out.data[p]);
    if (s == d && in.stride[p] == out.stride[p]) continue;
    for (int32_t r = 0; r < rows; ++r) {
      std::memmove(d + r * out.stride[p], s + r * in.stride[p], bytes);
    }
  }
}

}  // namespace zolta
