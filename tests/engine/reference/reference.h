/* SPDX-License-Identifier: BSD-2-Clause */
// A plain scalar model of the engine, written from the formulas one sample
// at a time with no vectors, no margins and no shared code with the engine.
// The tests and the benchmark hold the engine to it bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ref {

// Three planes stored row after row without margins.
struct Planes {
  int32_t width[3] = {0, 0, 0};  // samples per row of Y, Cb, Cr
  int32_t height = 0;
  std::vector<float> plane[3];

  float& at(int p, int32_t row, int32_t x) { return plane[p][size_t(row) * width[p] + x]; }
  float at(int p, int32_t row, int32_t x) const { return plane[p][size_t(row) * width[p] + x]; }
};

struct Settings {
  int32_t thresholds[3][6] = {};
  int32_t mode = 0;  // 0 Normal, 1 High, 2 Diff
  int32_t show_plane = 0;
  int32_t plane = 0;
  int32_t enabled = 1;
  // The temporal step's threshold per plane (0: off) and the spatial
  // thresholds' share under it at radius 1 and 2 (0: all).
  int32_t temporal[3] = {0, 0, 0};
  int32_t share[2] = {0, 0};
  int32_t restore[2] = {0, 0};  // the detail given back where frames joined
  // Per plane, the brightness gains in 1024ths (all 0: thresholds as given).
  uint16_t gains[3][16] = {};
};

// The four-tap analysis low-pass c0..c3 and synthesis low-pass b0..b3.
extern const float kAnalysis[4];
extern const float kSynthesis[4];

// Float sample to output byte.
uint8_t to_byte(float v);
// Round to the nearest integer, ties to even; NaN and values outside the
// 32-bit range give INT32_MIN, as the processor's conversion does.
int32_t round_sample(float v);

// One level at step s over a periodic row.
void analyze(const std::vector<float>& x, int32_t s, std::vector<float>& approx,
             std::vector<float>& detail);
// `gains`: empty, or per sample the factor of its threshold.
void synthesize(const std::vector<float>& approx, const std::vector<float>& detail, int32_t s,
                float threshold, std::vector<float>& out, const std::vector<float>& gains = {});

// The gain of sixteen brightness gains (1024ths) at brightness m: linear
// between band centres 16 k + 8, the end bands' beyond them.
float band_gain(const uint16_t gains[16], float m);

// The factor of every sample's thresholds of a plane of w x h (row after
// row) for its sixteen brightness gains; empty when they are all 0.
std::vector<float> brightness_gains(const std::vector<float>& plane, int32_t w, int32_t h,
                                    const uint16_t gains[16]);

// Denoises one plane of w x h samples (row after row) with its six
// thresholds X0 Y0 X1 Y1 X2 Y2; `doubled_row_step`: steps along rows twice
// the luma's (full-width chroma).
void denoise_plane(std::vector<float>& plane, int32_t w, int32_t h, const int32_t thresholds[6],
                   bool high, bool doubled_row_step, const uint16_t gains[16] = nullptr);

// Denoises the planes in place; `yuy2` selects the chroma step rule.
void denoise(Planes& planes, const int32_t thresholds[3][6], int32_t mode, bool yuy2);

Planes rgb32_to_planes(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height);
std::vector<uint32_t> planes_to_rgb32(const Planes& planes);
std::vector<uint32_t> plane_to_gray(const Planes& planes, int32_t plane, int32_t mode);

Planes yuy2_to_planes(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height);
std::vector<uint8_t> planes_to_yuy2(const Planes& planes);

// Whole frames: the output picture, and the planes as the denoiser left them
// (empty when the filter is off).
struct Rgb32Result {
  std::vector<uint32_t> out;
  Planes planes;
};
Rgb32Result process_rgb32(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                          const Settings& settings);

struct Yuy2Result {
  std::vector<uint8_t> out;
  Planes planes;
};
Yuy2Result process_yuy2(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                        const Settings& settings);

}  // namespace ref
