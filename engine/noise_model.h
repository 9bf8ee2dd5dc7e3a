/* SPDX-License-Identifier: BSD-2-Clause */
// The noise model of a stream (zolta_noise_model): measured on its frames
// per plane, level, direction and brightness, and the settings made from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream_format.h"

namespace zolta {

// At most this many blocks of a plane are measured in each pair of frames,
// spread over the plane on a lattice: the noise's statistics need no more,
// and measuring stays cheaper than denoising the frames.
constexpr int64_t kModelBlocksPerPair = 96;
// Blocks a band of the curve or a plane needs before its reading counts.
constexpr size_t kModelMinBlocks = 8;
// A reading across frames above this many times the one-frame estimate is
// taken for picture that the block search did not follow.
constexpr float kModelMostAboveOneFrame = 4.0f;
// So is one whose upper quartile of the blocks lies above this many times the
// lower (motion beyond the search is not always caught by either).
constexpr float kModelMostSpread = 8.0f;

// Noise spread over neighbouring samples (demosaicing, 4:2:0, compression)
// moves the mean of a block's differences, and their spread, more than
// white noise of the same sigma does: a plane's temporal threshold (the
// noise-level table's for its peak) is widened by the share of noise in its
// coarsest level over that of white noise, at most this much (measured on
// camera-model clips at radius 2, where wider lost on the mild ones).
constexpr float kMostTemporalWidening = 7.0f / 6.0f;

// The detail that the synthesis of level `level` compares with its threshold,
// for every sample of one periodic line of n samples (n >= 4), as the
// denoiser's chain computes it on an untouched line: the analysis down to
// that level, steps 2^exponents[k] apart, then the detail part of its
// synthesis. `work` is scratch of 3 n floats.
void band_line(const float* line, int32_t n, const int32_t exponents[3], int32_t level,
               float* band, float* work);

// band_line for the sample positions of a segment of n samples that lie at
// least band_reach(exponents, 2) from both of its ends, from the segment
// alone: the same values as over the whole periodic line the segment is cut
// from. Each level's detail goes to bands[level][position]; `work` is
// scratch of 3 n floats.
void segment_bands(const float* line, int32_t n, const int32_t exponents[3],
                   float* const bands[3], float* work);
int32_t band_reach(const int32_t exponents[3], int32_t level);

// How much white noise of standard deviation 1 gives in that detail
// (the square root of the sum of the squares of its filter), for the
// exponents of a direction.
float band_gain(const int32_t exponents[3], int32_t level);

// The exponents of the levels of plane p along direction d, as the denoiser
// steps them (level_plan_for).
void band_exponents(const StreamLayout& layout, int p, int d, int32_t exponents[3]);

// zolta_noise_measure behind its argument checks.
int measure_noise_model(const StreamLayout& layout, const zolta_frame* const* frames,
                        int32_t count, zolta_noise_model& model, zolta_error* error);

// A model's values are in range (finite, 0..255) for `planes` planes;
// otherwise a message naming the first one out of it.
int check_noise_model(const zolta_noise_model& model, int planes, zolta_error* error);

// The largest noise of a sample of plane p: sigma or the curve's highest point.
float noise_peak(const zolta_noise_model& model, int p);

// How spread plane p's noise is along direction d: the noise of its coarsest
// level over its finest's, 1 for white noise (and for noise finer than
// white), at most 3.
float noise_colour(const zolta_noise_model& model, int p, int d);

// The settings for a checked model with `planes` planes (zolta_settings_for_model).
void settings_for_model(const zolta_noise_model& model, int planes, zolta_settings& settings);

// The brightness gains of plane p for its peak: each band its curve / peak,
// none (all 0) for a flat curve.
void brightness_gains_for(const zolta_noise_model& model, int p, float peak,
                          uint16_t gains[ZOLTA_BRIGHTNESS_BANDS]);

// How much plane p's temporal threshold is widened: the largest of its
// coarsest level's detail over sigma, 1 to kMostTemporalWidening (1 for a
// plane of sigma 0).
float temporal_widening(const zolta_noise_model& model, int p);

// The curve of plane p at local mean `mean` (8-bit scale).
float curve_at(const zolta_noise_model& model, int p, float mean);

}  // namespace zolta
