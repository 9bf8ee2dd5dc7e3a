// SPDX-License-Identifier: BSD-2-Clause
// The noise model on clips cut from the bundled photograph with noise of a
// known shape: white, smoothed along rows (as demosaicing and scaling
// correlate it), growing with brightness (shot noise); on one frame, repeated
// frames and a cut; the detail it measures is the detail the denoiser
// thresholds; and settings from a model of white noise are the table's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "clip_frames.h"
#include "clips.h"
#include "dsp.h"
#include "filter_bank.h"
#include "noise_model.h"

namespace {

constexpr int kWidth = 256, kHeight = 192, kFrames = 8;

Clip clean_clip(const char* photo, int dx, int dy) {
  Picture picture;
  std::string error;
  Clip clean;
  EXPECT_TRUE(read_photo(std::string(ZOLTA_DATA_DIR) + "/" + photo, picture, error)) << error;
  EXPECT_TRUE(make_clip(picture, kWidth, kHeight, kFrames, dx, dy, clean, error)) << error;
  return clean;
}

// The shapes of noise the model is tried on.
enum class Shape { White, AlongRows, Brightness };

// Noise of the given shape and overall level on every plane of the clip:
// White: independent samples of sigma; AlongRows: white noise of sigma
// smoothed as (n[x] + n[x + 1]) / sqrt(2), so that its finest detail along
// rows holds far less and along columns as much; Brightness: sigma times
// (0.25 + 1.5 v / 255) at a sample of value v.
Clip noisy(const Clip& clean, Shape shape, double sigma, unsigned seed = 2026) {
  Clip out = clean;
  std::mt19937 generator(seed);
  std::normal_distribution<double> gaussian(0.0, 1.0);
  for (std::vector<uint8_t>& frame : out.frames) {
    const int widths[3] = {kWidth, kWidth / 2, kWidth / 2};
    const int heights[3] = {kHeight, kHeight / 2, kHeight / 2};
    size_t offset = 0;
    for (int p = 0; p < 3; ++p) {
      const int w = widths[p], h = heights[p];
      std::vector<double> n(static_cast<size_t>(w + 1) * h);
      for (double& v : n) v = gaussian(generator);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const double* row = n.data() + static_cast<size_t>(y) * (w + 1);
          uint8_t& sample = frame[offset + static_cast<size_t>(y) * w + x];
          double e = row[x] * sigma;
          if (shape == Shape::AlongRows) e = (row[x] + row[x + 1]) / std::sqrt(2.0) * sigma;
          if (shape == Shape::Brightness) e *= 0.25 + 1.5 * sample / 255.0;
          sample = static_cast<uint8_t>(std::clamp(std::lround(sample + e), 0L, 255L));
        }
      }
      offset += static_cast<size_t>(w) * h;
    }
  }
  return out;
}

using Frames = ClipFrames;

// The clip's frames as the library takes them; frame n given `repeat` times.
Frames frames_of(Clip& clip, int repeat = 1) {
  return clip_frames(clip, kWidth, kHeight, repeat);
}

zolta_noise_model measure(const Frames& f) {
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  zolta_error error{};
  EXPECT_EQ(zolta_noise_measure(&f.stream, f.pointers.data(),
                                static_cast<int32_t>(f.pointers.size()), &model, &error),
            ZOLTA_OK)
      << error.message;
  return model;
}

TEST(NoiseModel, MeasuresTheShapeOfTheNoise) {
  struct Case {
    const char* photo;
    int dx, dy;
    Shape shape;
    double sigma;
    // Expected luma readings, each within `tolerance` (relative): sigma,
    // detail along rows (levels 0, 2) and along columns (level 0).
    double read, rows0, rows2, columns0, tolerance;
  };
  // Smoothed along rows: the variance stays; a band along rows holds
  // sigma times the gain of the band over the smoothing filter over the
  // band's own gain, along columns sigma.
  const int32_t luma[3] = {0, 1, 2};
  double smoothed[3];
  for (int level = 0; level < 3; ++level) {
    std::vector<float> impulse(64, 0.0f), band(64), work(3 * 64);
    impulse[32] = impulse[33] = static_cast<float>(1.0 / std::sqrt(2.0));
    zolta::band_line(impulse.data(), 64, luma, level, band.data(), work.data());
    double sum = 0.0;
    for (float v : band) sum += static_cast<double>(v) * v;
    smoothed[level] = std::sqrt(sum) / zolta::band_gain(luma, level);
  }
  // The filter keeps little of the finest detail and more of the coarsest.
  EXPECT_LT(smoothed[0], 0.7);
  EXPECT_GT(smoothed[2], 1.2);
  const Case cases[] = {
      {"coffee.png", 0, 0, Shape::White, 3.0, 3.0, 3.0, 3.0, 3.0, 0.08},
      {"coffee.png", 2, 1, Shape::White, 6.0, 6.0, 6.0, 6.0, 6.0, 0.08},
      {"astronaut.png", -3, 2, Shape::White, 4.0, 4.0, 4.0, 4.0, 4.0, 0.08},
      {"coffee.png", 2, 1, Shape::AlongRows, 5.0, 5.0, 5.0 * smoothed[0], 5.0 * smoothed[2], 5.0,
       0.12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.photo << " " << c.dx << "," << c.dy << " shape "
                                    << static_cast<int>(c.shape) << " sigma " << c.sigma);
    Clip clip = noisy(clean_clip(c.photo, c.dx, c.dy), c.shape, c.sigma);
    const zolta_noise_model m = measure(frames_of(clip));
    EXPECT_EQ(m.planes, 3);
    EXPECT_EQ(m.frames, kFrames);
    EXPECT_EQ(m.across, 7);
    EXPECT_NEAR(m.sigma[0], c.read, c.tolerance * c.read);
    EXPECT_NEAR(m.detail[0][0][0], c.rows0, c.tolerance * c.rows0);
    EXPECT_NEAR(m.detail[0][0][2], c.rows2, c.tolerance * c.rows2);
    EXPECT_NEAR(m.detail[0][1][0], c.columns0, c.tolerance * c.columns0);
    for (int k = 0; k < ZOLTA_NOISE_BANDS && c.shape == Shape::White; ++k) {
      EXPECT_NEAR(m.curve[0][k], c.sigma, 0.2 * c.sigma) << "band " << k;
    }
  }
}

TEST(NoiseModel, TheCurveFollowsBrightness) {
  Clip clip = noisy(clean_clip("coffee.png", 2, 1), Shape::Brightness, 8.0);
  const zolta_noise_model m = measure(frames_of(clip));
  // sigma 8 (0.25 + 1.5 v / 255) at the bands' centres, where the clip
  // shows them; the bands between the first and last it shows rise.
  int shown = 0;
  for (int k = 1; k < ZOLTA_NOISE_BANDS - 1; ++k) {
    const double centre = (k + 0.5) * 16.0;
    const double expected = 8.0 * (0.25 + 1.5 * centre / 255.0);
    if (std::fabs(m.curve[0][k] - expected) < 0.2 * expected) ++shown;
    EXPECT_GE(m.curve[0][k + 1], m.curve[0][k] * 0.9f) << k;
  }
  EXPECT_GE(shown, 6);
  EXPECT_GT(zolta::curve_at(m, 0, 200.0f), 2.0f * zolta::curve_at(m, 0, 40.0f));
  // The peak is the curve's highest point.
  EXPECT_EQ(zolta::noise_peak(m, 0), *std::max_element(m.curve[0], m.curve[0] + 16));
}

TEST(NoiseModel, OneFrameRepeatsAndCutsKeepAnHonestReading) {
  Clip clip = noisy(clean_clip("coffee.png", 2, 1), Shape::White, 5.0);
  // One frame: the one-frame estimate as white noise.
  Frames f = frames_of(clip);
  f.pointers.resize(1);
  const zolta_noise_model one = measure(f);
  float sigma[3];
  ASSERT_EQ(zolta_noise_estimate(&f.stream, f.pointers[0], sigma, nullptr), ZOLTA_OK);
  EXPECT_EQ(one.across, 0);
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(one.sigma[p], sigma[p]);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(one.detail[p][k / 3][k % 3], sigma[p]);
    for (float c : one.curve[p]) EXPECT_EQ(c, sigma[p]);
  }
  // Every frame twice: the equal pairs tell nothing and are left out.
  const zolta_noise_model once = measure(frames_of(clip));
  const zolta_noise_model twice = measure(frames_of(clip, 2));
  for (int k = 0; k < 6; ++k) {
    EXPECT_NEAR(twice.detail[0][k / 3][k % 3], once.detail[0][k / 3][k % 3], 0.05f) << k;
  }
  // A cut after three frames to another photograph: the pair across it is
  // not found again and lies above the median.
  Clip other = noisy(clean_clip("astronaut.png", 2, 1), Shape::White, 5.0, 7);
  Clip cut = clip;
  for (int n = 3; n < kFrames; ++n) cut.frames[n] = other.frames[n];
  const zolta_noise_model across_cut = measure(frames_of(cut));
  EXPECT_NEAR(across_cut.sigma[0], 5.0f, 0.4f);
  EXPECT_NEAR(across_cut.detail[0][1][2], 5.0f, 0.5f);
  // A cut at every frame: blocks are not found again, their readings lie
  // far above the one-frame reading and spread widely, and the one-frame
  // estimate stands, as white noise.
  Clip fast = clip;
  for (int n = 1; n < kFrames; n += 2) fast.frames[n] = other.frames[n];
  Frames fast_frames = frames_of(fast);
  const zolta_noise_model lost = measure(fast_frames);
  EXPECT_EQ(lost.across & 1, 0);
  std::vector<float> luma;
  for (const zolta_frame* frame : fast_frames.pointers) {
    ASSERT_EQ(zolta_noise_estimate(&fast_frames.stream, frame, sigma, nullptr), ZOLTA_OK);
    luma.push_back(sigma[0]);
  }
  std::nth_element(luma.begin(), luma.begin() + luma.size() / 2, luma.end());
  EXPECT_EQ(lost.sigma[0], luma[luma.size() / 2]);
  EXPECT_EQ(lost.detail[0][1][2], lost.sigma[0]);
}

// The band the model measures is the detail the denoiser's synthesis
// compares with its threshold: passing it all minus dropping it all.
TEST(NoiseModel, BandsAreTheDetailTheThresholdsFace) {
  const zolta::DspKernels* plain = zolta::dsp_kernels_for(zolta::kSimdPlain);
  ASSERT_NE(plain, nullptr);
  zolta::FilterBank bank{};
  ASSERT_TRUE(zolta::build_daubechies(bank, 2));
  std::mt19937 generator(5);
  std::uniform_real_distribution<float> value(0.0f, 255.0f);
  for (int32_t n : {16, 64, 100}) {
    for (int wider = 0; wider < 2; ++wider) {
      const int32_t exponents[3] = {wider, 1 + wider, 2 + wider};
      const int32_t pad = 64;
      std::vector<float> line(n + 2 * pad);
      for (float& v : line) v = value(generator);
      float* x = line.data() + pad;
      std::vector<float> rows[5];
      for (auto& r : rows) r.assign(n + 2 * pad, 0.0f);
      float* approx[2] = {rows[0].data() + pad, rows[1].data() + pad};
      float* detail = rows[2].data() + pad;
      float* pass = rows[3].data() + pad;
      float* drop = rows[4].data() + pad;
      const float* in = x;
      std::vector<float> in_copy(n + 2 * pad);
      for (int level = 0; level < 3; ++level) {
        SCOPED_TRACE(testing::Message() << "n " << n << " wider " << wider << " level " << level);
        std::copy(in - pad, in + n + pad, in_copy.begin());
        plain->analyze(in_copy.data() + pad, approx[level & 1], detail, bank.analysis_low, n,
                       exponents[level]);
        std::vector<float> a_copy(approx[level & 1] - pad, approx[level & 1] + n + pad);
        std::vector<float> d_copy(detail - pad, detail + n + pad);
        plain->synthesize(pass, a_copy.data() + pad, d_copy.data() + pad, bank.synthesis_low, n,
                          exponents[level], -1.0f);
        plain->synthesize(drop, a_copy.data() + pad, d_copy.data() + pad, bank.synthesis_low, n,
                          exponents[level], 1e30f);
        std::vector<float> band(n), work(3 * n);
        zolta::band_line(x, n, exponents, level, band.data(), work.data());
        for (int32_t i = 0; i < n; ++i) EXPECT_NEAR(band[i], pass[i] - drop[i], 2e-3f) << i;
        in = approx[level & 1];
      }
    }
  }
  // Cut from a longer line, a segment gives the line's bands bit for bit
  // at every position at least the reach from its ends.
  for (int wider = 0; wider < 2; ++wider) {
    const int32_t exponents[3] = {wider, 1 + wider, 2 + wider};
    const int32_t reach = zolta::band_reach(exponents, 2);
    const int32_t n = 256, start = 37, length = 16 + 2 * reach;
    std::vector<float> line(n), work(3 * n);
    for (float& v : line) v = value(generator);
    std::vector<float> segment_out(3 * length), segment_work(3 * length);
    float* segment_bands[3] = {segment_out.data(), segment_out.data() + length,
                               segment_out.data() + 2 * length};
    zolta::segment_bands(line.data() + start, length, exponents, segment_bands,
                         segment_work.data());
    for (int level = 0; level < 3; ++level) {
      std::vector<float> band(n);
      zolta::band_line(line.data(), n, exponents, level, band.data(), work.data());
      for (int32_t i = reach; i < length - reach; ++i) {
        EXPECT_EQ(segment_bands[level][i], band[start + i]) << wider << " " << level << " " << i;
      }
    }
  }
  // White noise of 1 through a band: its gain. Haar-like filters keep the
  // finest detail's variance near half.
  const int32_t luma[3] = {0, 1, 2};
  for (int level = 0; level < 3; ++level) {
    const float g = zolta::band_gain(luma, level);
    EXPECT_GT(g, 0.2f);
    EXPECT_LT(g, 1.0f);
  }
}

TEST(NoiseModel, SettingsForAWhiteModelAreTheTables) {
  for (float sigma : {0.5f, 2.0f, 7.3f, 20.0f, 33.0f}) {
    for (int32_t family : {ZOLTA_FAMILY_GRAY, ZOLTA_FAMILY_YUV420, ZOLTA_FAMILY_RGB}) {
      SCOPED_TRACE(testing::Message() << "sigma " << sigma << " family " << family);
      zolta_noise_model m;
      zolta_noise_model_default(&m, ZOLTA_API_VERSION);
      m.planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
      const float planes[3] = {sigma, sigma * 0.8f, sigma * 0.7f};
      for (int p = 0; p < m.planes; ++p) {
        m.sigma[p] = planes[p];
        for (int k = 0; k < 6; ++k) m.detail[p][k / 3][k % 3] = planes[p];
        for (float& c : m.curve[p]) c = planes[p];
      }
      zolta_settings from_model, from_sigma;
      ASSERT_EQ(zolta_settings_for_model(&m, family, &from_model, nullptr), ZOLTA_OK);
      ASSERT_EQ(zolta_settings_for_sigma(planes, family, &from_sigma, nullptr), ZOLTA_OK);
      EXPECT_EQ(std::memcmp(&from_model, &from_sigma, sizeof from_model), 0);
      // A brighter part that is noisier raises the plane to its peak.
      m.curve[0][12] = 1.5f * sigma;
      const float peak[3] = {1.5f * sigma, planes[1], planes[2]};
      ASSERT_EQ(zolta_settings_for_model(&m, family, &from_model, nullptr), ZOLTA_OK);
      ASSERT_EQ(zolta_settings_for_sigma(peak, family, &from_sigma, nullptr), ZOLTA_OK);
      EXPECT_EQ(from_model.thresholds[0][0][0], from_sigma.thresholds[0][0][0]);
      EXPECT_EQ(from_model.temporal_thresholds[0], from_sigma.temporal_thresholds[0]);
      // ... and there only are its thresholds whole: the darker bands, less
      // noisy, are scaled down; flat planes carry no curve at all.
      EXPECT_EQ(from_model.brightness_gains[0][12], 1024);
      EXPECT_LT(from_model.brightness_gains[0][0], 1024);
      for (int p = 1; p < m.planes; ++p) {
        for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) EXPECT_EQ(from_model.brightness_gains[p][k], 0);
      }
    }
  }
}

// Noise spread over neighbouring samples: a direction's thresholds follow
// the ratio of its coarsest level's noise to its finest's, and only that
// ratio (up to a largest); the other direction and the other planes keep the
// table's for the peak.
TEST(NoiseModel, SettingsFollowHowSpreadTheNoiseIs) {
  struct Case {
    const char* name;
    int plane, direction;
    float fine, coarse;    // detail of levels 0 and 2 there; white noise of 6 elsewhere
    int expected[3];       // per level there against the table: -1 lower, 0 equal, 1 higher
    float fine2, coarse2;  // another pair that gives the same thresholds
    float wider;           // the plane's temporal threshold against the table's
  };
  const Case cases[] = {
      {"finer than white is white", 0, 1, 6.0f, 3.0f, {0, 0, 0}, 6.0f, 6.0f, 1.0f},
      {"no fine noise is white", 1, 0, 0.0f, 6.0f, {0, 0, 0}, 6.0f, 6.0f, 1.0f},
      {"luma rows", 0, 0, 3.0f, 7.2f, {0, 1, 1}, 1.5f, 3.6f, 7.0f / 6.0f},
      {"luma columns", 0, 1, 3.0f, 7.2f, {-1, 0, 1}, 1.5f, 3.6f, 7.0f / 6.0f},
      {"chroma rows", 1, 0, 4.2f, 6.6f, {0, 1, 1}, 2.1f, 3.3f, 1.1f},
      {"chroma columns", 2, 1, 4.2f, 6.6f, {-1, -1, -1}, 2.1f, 3.3f, 1.1f},
      {"beyond the largest ratio", 0, 0, 0.06f, 6.0f, {0, 1, 1}, 1.5f, 6.0f, 1.0f},
  };
  const auto settings = [](int plane, int direction, float fine, float coarse) {
    zolta_noise_model m;
    zolta_noise_model_default(&m, ZOLTA_API_VERSION);
    m.planes = 3;
    for (int p = 0; p < 3; ++p) {
      m.sigma[p] = 6.0f;
      for (int k = 0; k < 6; ++k) m.detail[p][k / 3][k % 3] = 6.0f;
      for (float& c : m.curve[p]) c = 6.0f;
    }
    m.detail[plane][direction][0] = fine;
    m.detail[plane][direction][2] = coarse;
    zolta_settings s;
    EXPECT_EQ(zolta_settings_for_model(&m, ZOLTA_FAMILY_YUV420, &s, nullptr), ZOLTA_OK);
    return s;
  };
  const zolta_settings table = settings(0, 0, 6.0f, 6.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const zolta_settings s = settings(c.plane, c.direction, c.fine, c.coarse);
    for (int k = 0; k < 18; ++k) {
      const int p = k / 6, d = k / 3 % 2, l = k % 3;
      const int32_t got = s.thresholds[p][d][l], want = table.thresholds[p][d][l];
      const bool there = p == c.plane && d == c.direction;
      EXPECT_EQ(got > want ? 1 : got < want ? -1 : 0, there ? c.expected[l] : 0) << p << d << l;
    }
    // More noise in the coarsest level than white noise's moves a block's
    // differences more: the plane's temporal threshold goes wider by that
    // share, up to a sixth; the other planes keep the table's.
    for (int p = 0; p < 3; ++p) {
      const float want = float(table.temporal_thresholds[p]) * (p == c.plane ? c.wider : 1.0f);
      EXPECT_NEAR(float(s.temporal_thresholds[p]), want, 0.51f) << p;
    }
    const zolta_settings same = settings(c.plane, c.direction, c.fine2, c.coarse2);
    EXPECT_EQ(std::memcmp(s.thresholds, same.thresholds, sizeof s.thresholds), 0);
  }
}

}  // namespace
