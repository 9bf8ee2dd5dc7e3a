/* SPDX-License-Identifier: BSD-2-Clause */
// Settings chosen from the noise of a frame: an estimate of the noise's
// standard deviation per plane, and a table from that to thresholds.
#pragma once

#include <cstddef>
#include <vector>

#include "stream_format.h"

namespace zolta {

// sigma of white noise in each of the denoiser's planes (Y, Cb, Cr; RGB
// frames as Y, Cb, Cr) on the 8-bit scale: the median absolute value of the
// finest diagonal Haar detail, (a - b - c + d) / 2 over 2 x 2 blocks, divided
// by 0.6745. Planes the stream lacks get 0.
int estimate_noise(const StreamLayout& layout, const zolta_frame& frame, float sigma[3],
                   zolta_error* error);

// That estimate for one plane on the 8-bit scale; `details` is scratch space.
float plane_noise(const float* plane, ptrdiff_t stride, int32_t w, int32_t h,
                  std::vector<float>& details);

// The noise-level table (sigma_table.cpp): thresholds of one plane for noise
// of standard deviation sigma (0 < sigma <= 50), [direction][level].
void thresholds_for_sigma(float sigma, bool chroma, int32_t thresholds[2][3]);

// Noise of standard deviations rgb[0..2], independent in R, G and B, as the
// standard deviations it has in the planes RGB is denoised in:
// Y = 0.299 R + 0.587 G + 0.114 B, Cb = 0.565 (B - Y), Cr = 0.713 (R - Y).
void rgb_noise_in_planes(const float rgb[3], float planes[3]);

}  // namespace zolta
