// SPDX-License-Identifier: BSD-2-Clause
#include "noise_model.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "errors.h"
#include "filter_bank.h"
#include "frame_io.h"
#include "noise_across_frames.h"
#include "noise_estimate.h"
#include "temporal_table.h"

namespace zolta {

namespace {

constexpr int kBands = 6;  // [direction * 3 + level]

// The denoiser's filter bank (Daubechies order 2), built once.
const FilterBank& model_bank() {
  static const FilterBank bank = [] {
    FilterBank b{};
    build_daubechies(b, 2);
    return b;
  }();
  return bank;
}

inline int32_t wrap(int32_t j, int32_t n) {
  const int32_t m = j % n;
  return m < 0 ? m + n : m;
}

// One sample of a level's approximation and detail from the four samples
// its taps reach, in the operations and order of the denoiser's kernels.
inline void analysis_step(const float* c, float xm, float x0, float xp, float xpp, float& approx,
                          float& detail) {
  float a = c[0] * xm + c[1] * x0;
  a = a + c[2] * xp;
  a = a + c[3] * xpp;
  float d = c[2] * x0 - c[3] * xm;
  d = d - c[1] * xp;
  d = d + c[0] * xpp;
  approx = a;
  detail = d;
}

// One sample of a level's detail band from the detail around it.
inline float synthesis_step(const float* b, float dm2, float dm, float d0, float dp) {
  float t = b[3] * dm2 - b[2] * dm;
  t = t + b[1] * d0;
  t = t - b[0] * dp;
  return t;
}

// The three levels' detail of one periodic line at once (band_line's, for
// every level), in the operations and order of the denoiser's kernels.
void band_lines(const float* line, int32_t n, const int32_t exponents[3], float* const bands[3],
                float* work) {
  const FilterBank& bank = model_bank();
  const float* c = bank.analysis_low;
  const float* b = bank.synthesis_low;
  float* approx[2] = {work, work + 2 * n};
  float* detail = work + n;
  const float* in = line;
  for (int l = 0; l < 3; ++l) {
    const int32_t s = 1 << exponents[l];
    float* out = approx[l & 1];
    for (int32_t i = 0; i < n; ++i) {
      const float xm = in[wrap(i - s, n)];
      const float x0 = in[i];
      const float xp = in[wrap(i + s, n)];
      const float xpp = in[wrap(i + 2 * s, n)];
      analysis_step(c, xm, x0, xp, xpp, out[i], detail[i]);
    }
    for (int32_t i = 0; i < n; ++i) {
      bands[l][i] = synthesis_step(b, detail[wrap(i - 2 * s, n)], detail[wrap(i - s, n)],
                                   detail[i], detail[wrap(i + s, n)]);
    }
    in = out;
  }
}

}  // namespace

// band_lines without the periodic extension: each level where its inputs
// lie in the segment (the rest is left as it was), in the same operations.
void segment_bands(const float* line, int32_t n, const int32_t exponents[3],
                   float* const bands[3], float* work) {
  const FilterBank& bank = model_bank();
  const float* c = bank.analysis_low;
  const float* b = bank.synthesis_low;
  float* approx[2] = {work, work + 2 * n};
  float* detail = work + n;
  const float* in = line;
  int32_t lo = 0, hi = n;  // where `in` holds values
  for (int l = 0; l < 3; ++l) {
    const int32_t s = 1 << exponents[l];
    float* out = approx[l & 1];
    const int32_t first = lo + s, end = hi - 2 * s;
    for (int32_t i = first; i < end; ++i) {
      const float xm = in[i - s];
      const float x0 = in[i];
      const float xp = in[i + s];
      const float xpp = in[i + 2 * s];
      analysis_step(c, xm, x0, xp, xpp, out[i], detail[i]);
    }
    for (int32_t i = first + 2 * s; i < end - s; ++i) {
      bands[l][i] =
          synthesis_step(b, detail[i - 2 * s], detail[i - s], detail[i], detail[i + s]);
    }
    in = out;
    lo = first;
    hi = end;
  }
}

// How far (in samples, one way) the detail of a level reads from its sample.
int32_t band_reach(const int32_t exponents[3], int32_t level) {
  int32_t reach = 0;
  for (int32_t k = 0; k <= level; ++k) reach += 2 << exponents[k];
  return reach + (2 << exponents[level]);
}

namespace {

// One frame's planes on the 8-bit scale.
struct FramePlanes {
  std::vector<float> plane[3];
};

void fill_planes(const StreamLayout& layout, const zolta_frame& frame, FramePlanes& f) {
  FloatPlanes planes{};
  for (int p = 0; p < layout.planes; ++p) {
    f.plane[p].resize(static_cast<size_t>(layout.plane_width[p]) * layout.plane_height[p]);
    planes.plane[p] = f.plane[p].data();
    planes.stride[p] = layout.plane_width[p];
  }
  frame_to_planes(layout, frame, planes);
}

// The readings of one plane over every pair of frames.
struct PlaneReadings {
  std::vector<float> one_frame;  // zolta_noise_estimate's, per frame
  std::vector<float> samples;    // per block: mean square of the difference
  std::vector<float> bands[kBands];
  std::vector<float> brightness[ZOLTA_NOISE_BANDS];
};

float upper_median(std::vector<float>& values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  return values[middle];
}

float block_mean(const float* a, int32_t w, int32_t x, int32_t y) {
  float sum = 0.0f;
  for (int32_t r = 0; r < kNoiseBlock; ++r) {
    const float* row = a + static_cast<ptrdiff_t>(y + r) * w + x;
    for (int32_t i = 0; i < kNoiseBlock; ++i) sum += row[i];
  }
  return sum / static_cast<float>(kNoiseBlock * kNoiseBlock);
}

// Scratch of one direction's segments: the two frames' segments and their
// three bands each.
struct Segments {
  int32_t reach, length;
  int32_t exponents[3];
  std::vector<float> line[2], out[2], work;
  float* bands[2][3];

  void size_for(const int32_t e[3]) {
    std::copy(e, e + 3, exponents);
    reach = band_reach(exponents, 2);
    length = kNoiseBlock + 2 * reach;
    work.assign(3 * static_cast<size_t>(length), 0.0f);
    for (int f = 0; f < 2; ++f) {
      line[f].assign(static_cast<size_t>(length), 0.0f);
      out[f].assign(3 * static_cast<size_t>(length), 0.0f);
      for (int l = 0; l < 3; ++l) bands[f][l] = out[f].data() + l * length;
    }
  }
  // Both frames' segments through the levels.
  void run() {
    for (int f = 0; f < 2; ++f) segment_bands(line[f].data(), length, exponents, bands[f], work.data());
  }
};

// The mean squares of b's detail minus a's over the block's odd rows, per
// level and direction, into e[direction * 3 + level].
void block_band_energies(const float* a, const float* b, int32_t w, int32_t x, int32_t y,
                         const NoiseMatch& m, Segments (&seg)[2], float e[kBands]) {
  for (int k = 0; k < kBands; ++k) e[k] = 0.0f;
  // Along rows: each odd row's segment.
  Segments& sx = seg[0];
  for (int32_t r = 1; r < kNoiseBlock; r += 2) {
    const float* ra = a + static_cast<ptrdiff_t>(y + r) * w + x - sx.reach;
    const float* rb = b + static_cast<ptrdiff_t>(y + r + m.dy) * w + x + m.dx - sx.reach;
    std::copy(ra, ra + sx.length, sx.line[0].begin());
    std::copy(rb, rb + sx.length, sx.line[1].begin());
    sx.run();
    for (int l = 0; l < 3; ++l) {
      for (int32_t i = 0; i < kNoiseBlock; ++i) {
        const float d = sx.bands[1][l][sx.reach + i] - sx.bands[0][l][sx.reach + i];
        e[l] += d * d;
      }
    }
  }
  // Along columns: each column's segment, its odd rows.
  Segments& sy = seg[1];
  for (int32_t i = 0; i < kNoiseBlock; ++i) {
    for (int32_t k = 0; k < sy.length; ++k) {
      sy.line[0][k] = a[static_cast<ptrdiff_t>(y - sy.reach + k) * w + x + i];
      sy.line[1][k] = b[static_cast<ptrdiff_t>(y + m.dy - sy.reach + k) * w + x + m.dx + i];
    }
    sy.run();
    for (int l = 0; l < 3; ++l) {
      for (int32_t r = 1; r < kNoiseBlock; r += 2) {
        const float d = sy.bands[1][l][sy.reach + r] - sy.bands[0][l][sy.reach + r];
        e[3 + l] += d * d;
      }
    }
  }
  for (int k = 0; k < kBands; ++k) e[k] = e[k] / static_cast<float>(kNoiseBlock * kNoiseBlock / 2);
}

void read_pair(const StreamLayout& layout, int p, const FramePlanes& fa, const FramePlanes& fb,
               Segments (&seg)[2], PlaneReadings& out) {
  const int32_t w = layout.plane_width[p], h = layout.plane_height[p];
  // Blocks far enough inside that every level's detail of both frames
  // comes from samples of the plane (the same values as over the whole
  // periodic row or column), on a lattice of at most kModelBlocksPerPair.
  const int32_t mx = seg[0].reach + kNoiseReach, my = seg[1].reach + kNoiseReach;
  const int32_t nx = w - 2 * mx >= kNoiseBlock ? (w - 2 * mx - kNoiseBlock) / kNoiseBlock + 1 : 0;
  const int32_t ny = h - 2 * my >= kNoiseBlock ? (h - 2 * my - kNoiseBlock) / kNoiseBlock + 1 : 0;
  if (nx == 0 || ny == 0) return;
  int32_t step = 1;
  while (static_cast<int64_t>((nx + step - 1) / step) * ((ny + step - 1) / step) >
         kModelBlocksPerPair) {
    ++step;
  }
  const float* a = fa.plane[p].data();
  const float* b = fb.plane[p].data();
  for (int32_t by = 0; by < ny; by += step) {
    for (int32_t bx = 0; bx < nx; bx += step) {
      const int32_t x = mx + bx * kNoiseBlock, y = my + by * kNoiseBlock;
      const NoiseMatch m = match_noise_block(a, b, w, x, y);
      if (!(m.energy > 0.0f)) continue;
      out.samples.push_back(m.energy);
      const float mean = block_mean(a, w, x, y);
      const int bin =
          mean < 0.0f ? 0 : std::min(ZOLTA_NOISE_BANDS - 1, static_cast<int>(mean / 16.0f));
      out.brightness[bin].push_back(m.energy);
      float e[kBands];
      block_band_energies(a, b, w, x, y, m, seg, e);
      for (int k = 0; k < kBands; ++k) out.bands[k].push_back(e[k]);
    }
  }
}

// The model of plane p from its readings.
void conclude_plane(const StreamLayout& layout, int p, PlaneReadings& r, zolta_noise_model& model) {
  const float one = upper_median(r.one_frame);
  float across = -1.0f;
  if (r.samples.size() >= kModelMinBlocks) {
    // Noise spreads the blocks' readings little (shot noise over a range of
    // brightness: their quartiles within a factor of about 2; a slow turn
    // that whole displacements follow only in part: on bench/camera.sh's
    // camera-noise clips, more than 4 and less than 8); picture the search
    // did not follow at all (a cut) spreads them further.
    std::vector<float>& v = r.samples;
    std::sort(v.begin(), v.end());
    const float lower = v[v.size() / 4], upper = v[v.size() * 3 / 4];
    across = std::sqrt(v[v.size() / 2] * 0.5f);
    if (!(across <= kModelMostAboveOneFrame * one) || !(upper <= kModelMostSpread * lower)) {
      across = -1.0f;
    }
  }
  if (across < 0.0f) {
    model.sigma[p] = one;
    for (int k = 0; k < kBands; ++k) model.detail[p][k / 3][k % 3] = one;
    for (float& c : model.curve[p]) c = one;
    return;
  }
  model.across |= 1 << p;
  model.sigma[p] = across;
  for (int d = 0; d < 2; ++d) {
    int32_t exponents[3];
    band_exponents(layout, p, d, exponents);
    for (int l = 0; l < 3; ++l) {
      std::vector<float>& v = r.bands[d * 3 + l];
      model.detail[p][d][l] = v.size() >= kModelMinBlocks
                                  ? std::sqrt(upper_median(v) * 0.5f) / band_gain(exponents, l)
                                  : across;
    }
  }
  bool measured[ZOLTA_NOISE_BANDS];
  bool any = false;
  for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) {
    measured[k] = r.brightness[k].size() >= kModelMinBlocks;
    if (measured[k]) model.curve[p][k] = std::sqrt(upper_median(r.brightness[k]) * 0.5f);
    any = any || measured[k];
  }
  for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) {
    if (measured[k]) continue;
    if (!any) {
      model.curve[p][k] = across;
      continue;
    }
    // The nearest band measured, the darker one on a tie.
    for (int gap = 1;; ++gap) {
      if (k - gap >= 0 && measured[k - gap]) {
        model.curve[p][k] = model.curve[p][k - gap];
        break;
      }
      if (k + gap < ZOLTA_NOISE_BANDS && measured[k + gap]) {
        model.curve[p][k] = model.curve[p][k + gap];
        break;
      }
    }
  }
}

}  // namespace

void band_line(const float* line, int32_t n, const int32_t exponents[3], int32_t level,
               float* band, float* work) {
  std::vector<float> all(3 * static_cast<size_t>(n));
  float* bands[3] = {all.data(), all.data() + n, all.data() + 2 * n};
  band_lines(line, n, exponents, bands, work);
  std::copy(bands[level], bands[level] + n, band);
}

float band_gain(const int32_t exponents[3], int32_t level) {
  constexpr int32_t n = 512;
  std::vector<float> line(n, 0.0f), band(n), work(3 * n);
  line[n / 2] = 1.0f;
  band_line(line.data(), n, exponents, level, band.data(), work.data());
  double sum = 0.0;
  for (float v : band) sum += static_cast<double>(v) * v;
  return static_cast<float>(std::sqrt(sum));
}

void band_exponents(const StreamLayout& layout, int p, int d, int32_t exponents[3]) {
  const int32_t wider = layout.wide_chroma && p > 0 && d == 0 ? 1 : 0;
  for (int l = 0; l < 3; ++l) exponents[l] = l + wider;
}

int measure_noise_model(const StreamLayout& layout, const zolta_frame* const* frames,
                        int32_t count, zolta_noise_model& model, zolta_error* error) {
  const int checked = check_frames(layout, frames, count, error);
  if (checked != ZOLTA_OK) return checked;
  try {
    PlaneReadings readings[3];
    std::vector<float> details;
    FramePlanes current, next;
    Segments segments[3][2];
    for (int p = 0; p < layout.planes; ++p) {
      for (int d = 0; d < 2; ++d) {
        int32_t exponents[3];
        band_exponents(layout, p, d, exponents);
        segments[p][d].size_for(exponents);
      }
    }
    fill_planes(layout, *frames[0], current);
    for (int32_t n = 0; n < count; ++n) {
      for (int p = 0; p < layout.planes; ++p) {
        readings[p].one_frame.push_back(plane_noise(current.plane[p].data(),
                                                    layout.plane_width[p], layout.plane_width[p],
                                                    layout.plane_height[p], details));
      }
      if (n + 1 == count) break;
      fill_planes(layout, *frames[n + 1], next);
      for (int p = 0; p < layout.planes; ++p) {
        read_pair(layout, p, current, next, segments[p], readings[p]);
      }
      std::swap(current, next);
    }
    const uint32_t version = model.version;
    zolta_noise_model_default(&model, version);
    model.planes = layout.planes;
    model.frames = count;
    for (int p = 0; p < layout.planes; ++p) conclude_plane(layout, p, readings[p], model);
  } catch (const std::bad_alloc&) {
    return fail(error, ZOLTA_ERROR_MEMORY,
                "out of memory for the noise model of %ld frames of %d x %d",
                static_cast<long>(count), static_cast<int>(layout.width),
                static_cast<int>(layout.height));
  }
  return succeed(error);
}

int check_noise_model(const zolta_noise_model& model, int planes, zolta_error* error) {
  if (model.planes < planes || model.planes > 3) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "the noise model has %ld planes; this takes %d",
                static_cast<long>(model.planes), planes);
  }
  for (int p = 0; p < model.planes; ++p) {
    const float* values[3] = {model.sigma + p, &model.detail[p][0][0], model.curve[p]};
    const int counts[3] = {1, 6, ZOLTA_NOISE_BANDS};
    const char* names[3] = {"sigma", "detail", "curve"};
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < counts[k]; ++i) {
        const float v = values[k][i];
        if (!(v >= 0.0f && v <= 255.0f)) {
          return fail(error, ZOLTA_ERROR_ARGUMENT,
                      "the noise model's %s of plane %d is %g; it lies in 0..255", names[k], p,
                      static_cast<double>(v));
        }
      }
    }
  }
  return succeed(error);
}

float noise_peak(const zolta_noise_model& model, int p) {
  float peak = model.sigma[p];
  for (float c : model.curve[p]) peak = std::max(peak, c);
  return peak;
}

namespace {

// The sum of the noise-level table's six thresholds of a plane for noise
// sigma: how hard the table thresholds that noise, as one number.
float table_weight(float sigma, bool chroma) {
  int32_t t[2][3];
  thresholds_for_sigma(sigma, chroma, t);
  float sum = 0.0f;
  for (const auto& direction : t) {
    for (int32_t v : direction) sum = sum + static_cast<float>(v);
  }
  return sum;
}

}  // namespace

void brightness_gains_for(const zolta_noise_model& model, int p, float peak,
                          uint16_t gains[ZOLTA_BRIGHTNESS_BANDS]) {
  const float at_peak = peak > 0.0f ? table_weight(peak, p > 0) : 0.0f;
  bool flat = true;
  for (int k = 0; k < ZOLTA_BRIGHTNESS_BANDS; ++k) {
    // A band without noise is left alone, as the table leaves a plane.
    const float noise = model.curve[p][k];
    const float gain = at_peak > 0.0f && noise > 0.0f
                           ? table_weight(std::min(noise, peak), p > 0) / at_peak
                           : 0.0f;
    gains[k] = static_cast<uint16_t>(std::min(gain * 1024.0f + 0.5f, 1024.0f));
    flat = flat && gains[k] == 1024;
  }
  if (flat || at_peak == 0.0f) {
    for (int k = 0; k < ZOLTA_BRIGHTNESS_BANDS; ++k) gains[k] = 0;
  }
}

namespace {

// How much a level's threshold follows the colour of the noise along its
// direction, in quarter powers of noise_colour: [chroma][direction][level].
// Fitted by PSNR on bench/camera.sh's camera-model clips (both pans, four
// light levels): spread noise wants the coarse levels of the first pass
// (along rows) harder and the fine levels of the second (along columns),
// which meets what the first pass left, softer.
constexpr int kColourQuarters[2][2][3] = {{{0, 3, 5}, {-4, 0, 1}}, {{0, 8, 4}, {-6, -4, -2}}};
constexpr float kMostColour = 3.0f;

// The gain of a threshold for the colour c: c^(quarters / 4), by square
// roots and products only (the same bits on every processor).
float colour_gain(float c, int quarters) {
  const float q = std::sqrt(std::sqrt(c));
  float gain = 1.0f;
  for (int k = 0; k < std::abs(quarters); ++k) gain = gain * q;
  return quarters < 0 ? 1.0f / gain : gain;
}

}  // namespace

float noise_colour(const zolta_noise_model& model, int p, int d) {
  const float fine = model.detail[p][d][0], coarse = model.detail[p][d][2];
  if (!(fine > 0.0f) || !(coarse > fine)) return 1.0f;
  return std::min(coarse / fine, kMostColour);
}

void settings_for_model(const zolta_noise_model& model, int planes, zolta_settings& settings) {
  float peak[3] = {0.0f, 0.0f, 0.0f};
  for (int p = 0; p < planes; ++p) peak[p] = noise_peak(model, p);
  for (int p = 0; p < planes; ++p) {
    int32_t table[2][3];
    thresholds_for_sigma(peak[p], p > 0, table);
    for (int d = 0; d < 2; ++d) {
      const float colour = noise_colour(model, p, d);
      for (int l = 0; l < 3; ++l) {
        const float v = static_cast<float>(table[d][l]) *
                        colour_gain(colour, kColourQuarters[p > 0][d][l]);
        settings.thresholds[p][d][l] =
            static_cast<int32_t>(std::min(v + 0.5f, static_cast<float>(ZOLTA_THRESHOLD_MAX)));
      }
    }
  }
  temporal_for_sigma(peak, planes, settings);
  for (int p = 0; p < planes; ++p) {
    brightness_gains_for(model, p, peak[p], settings.brightness_gains[p]);
    const long v = std::lround(static_cast<float>(settings.temporal_thresholds[p]) *
                               temporal_widening(model, p));
    settings.temporal_thresholds[p] =
        v > ZOLTA_THRESHOLD_MAX ? ZOLTA_THRESHOLD_MAX : static_cast<int32_t>(v);
  }
}

float temporal_widening(const zolta_noise_model& model, int p) {
  if (!(model.sigma[p] > 0.0f)) return 1.0f;
  const float coarse = std::max(model.detail[p][0][2], model.detail[p][1][2]) / model.sigma[p];
  return std::min(std::max(coarse, 1.0f), kMostTemporalWidening);
}

float curve_at(const zolta_noise_model& model, int p, float mean) {
  const float at = mean / 16.0f - 0.5f;
  if (!(at > 0.0f)) return model.curve[p][0];
  if (at >= static_cast<float>(ZOLTA_NOISE_BANDS - 1)) return model.curve[p][ZOLTA_NOISE_BANDS - 1];
  const int k = static_cast<int>(at);
  const float t = at - static_cast<float>(k);
  return model.curve[p][k] + (model.curve[p][k + 1] - model.curve[p][k]) * t;
}

}  // namespace zolta
