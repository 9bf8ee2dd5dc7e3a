// SPDX-License-Identifier: BSD-2-Clause
// Settings from the noise: the estimate finds the standard deviation of
// added Gaussian noise on the 8-bit scale at every depth, from one frame and
// from several, and the table never lowers a threshold when the noise grows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api_support.h"

namespace {

// A flat grey 4:2:0 frame of the given depth with Gaussian noise of `sigma`
// (8-bit scale) in luma and sigma / 2 in chroma.
TestFrame noisy_frame(const zolta_stream& s, float sigma, uint32_t seed) {
  TestFrame t = make_frame(s, 0, false, 0);
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  const bool is_float = s.sample == ZOLTA_SAMPLE_FLOAT;
  const double max = is_float ? 1.0 : double((1 << s.bits) - 1);
  for (int p = 0; p < 3; ++p) {
    int32_t w, h;
    zolta_stream_plane_size(&s, p, &w, &h);
    const float sd = p == 0 ? sigma : sigma / 2;
    for (int32_t r = 0; r < h; ++r) {
      uint8_t* row = static_cast<uint8_t*>(t.frame.data[p]) + r * t.frame.stride[p];
      for (int32_t x = 0; x < w; ++x) {
        const double v8 = 128.0 + sd * noise(rng);  // 8-bit scale
        if (is_float) {
          const float v = static_cast<float>(p == 0 ? v8 / 255.0 : (v8 - 128.0) / 255.0);
          std::memcpy(row + 4 * x, &v, 4);
        } else {
          const double v = std::nearbyint(v8 * max / 255.0);
          if (s.bits > 8) {
            const uint16_t u = static_cast<uint16_t>(v);
            std::memcpy(row + 2 * x, &u, 2);
          } else {
            row[x] = static_cast<uint8_t>(v);
          }
        }
      }
    }
  }
  return t;
}

// 4:2:0 of `bits` bits (32: float samples).
zolta_stream yuv420_stream(int32_t bits, int32_t width, int32_t height) {
  return {ZOLTA_API_VERSION,
          ZOLTA_FAMILY_YUV420,
          bits == 32 ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER,
          bits,
          width,
          height,
          {}};
}

TEST(Noise, EstimatesFromOneFrameOrSeveralFindAddedGaussianNoiseAtEveryDepth) {
  // Several frames of independent noise read it closer: integer samples are
  // rounded, noise of variance sigma^2 + 1/12 at 8 bits.
  const struct {
    int32_t frames, height;
    std::vector<float> sigmas;
    float share, plus;  // the tolerance: share * sigma + plus
  } kCases[] = {{1, 256, {4.0f, 10.0f, 20.0f}, 0.08f, 0.0f}, {4, 128, {3.0f, 10.0f}, 0.05f, 0.05f}};
  for (const auto& c : kCases) {
    for (int32_t bits : {8, 10, 16, 32}) {
      const zolta_stream s = yuv420_stream(bits, 256, c.height);
      for (float sigma : c.sigmas) {
        SCOPED_TRACE(testing::Message()
                     << c.frames << " frames, " << bits << " bits, sigma " << sigma);
        std::vector<TestFrame> frames;
        std::vector<const zolta_frame*> pointers;
        for (int32_t n = 0; n < c.frames; ++n) {
          frames.push_back(noisy_frame(s, sigma, static_cast<uint32_t>(bits * 100 + sigma) + n));
        }
        for (const TestFrame& f : frames) pointers.push_back(&f.frame);
        float found[3] = {-1, -1, -1};
        zolta_error error{};
        ASSERT_EQ(c.frames == 1
                      ? zolta_noise_estimate(&s, pointers[0], found, &error)
                      : zolta_noise_estimate_frames(&s, pointers.data(), c.frames, found, &error),
                  ZOLTA_OK)
            << error.message;
        const float tolerance = sigma * c.share + c.plus;
        EXPECT_NEAR(found[0], sigma, tolerance);
        EXPECT_NEAR(found[1], sigma / 2, tolerance);
        EXPECT_NEAR(found[2], sigma / 2, tolerance);
      }
    }
  }
  const zolta_stream gray{
      ZOLTA_API_VERSION, ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8, 16, 16, {}};
  const TestFrame flat = make_frame(gray, 0, false, 0, 100);
  float found[3] = {-1, -1, -1};
  ASSERT_EQ(zolta_noise_estimate(&gray, &flat.frame, found, nullptr), ZOLTA_OK);
  EXPECT_EQ(found[0], 0.0f);
  EXPECT_EQ(found[1], 0.0f) << "planes the stream lacks";
}

TEST(Noise, FramesEstimateOfOneFrameIsTheOneFrameEstimate) {
  for (const FormatCase& f : every_format()) {
    SCOPED_TRACE(format_name(f));
    const zolta_stream s = stream_of(f, 64, 32);
    const TestFrame frame = make_frame(s, 12, true, 41);
    const zolta_frame* one = &frame.frame;
    float alone[3] = {-1, -1, -1}, framed[3] = {-2, -2, -2};
    ASSERT_EQ(zolta_noise_estimate(&s, &frame.frame, alone, nullptr), ZOLTA_OK);
    ASSERT_EQ(zolta_noise_estimate_frames(&s, &one, 1, framed, nullptr), ZOLTA_OK);
    EXPECT_EQ(std::memcmp(alone, framed, sizeof alone), 0);
  }
}

TEST(Noise, FramesEstimateRefusesWhatItCannotMeasure) {
  const zolta_stream s{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 64, 32, {}};
  const TestFrame a = make_frame(s, 0, false, 1);
  const TestFrame b = make_frame(s, 0, false, 2);
  const zolta_frame* frames[2] = {&a.frame, &b.frame};
  float sigma[3];
  zolta_error error{};
  for (int32_t count : {0, -1}) {
    EXPECT_EQ(zolta_noise_estimate_frames(&s, frames, count, sigma, &error), ZOLTA_ERROR_ARGUMENT);
    EXPECT_NE(std::string(error.message).find("at least one"), std::string::npos) << error.message;
  }
  EXPECT_EQ(zolta_noise_estimate_frames(&s, nullptr, 2, sigma, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_noise_estimate_frames(&s, frames, 2, nullptr, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_noise_estimate_frames(nullptr, frames, 2, sigma, &error), ZOLTA_ERROR_ARGUMENT);
  const zolta_frame* missing[2] = {&a.frame, nullptr};
  EXPECT_EQ(zolta_noise_estimate_frames(&s, missing, 2, sigma, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "frame 1 of 2 is not given");

  // A frame of a narrower picture: its rows are shorter than the stream's.
  const zolta_stream narrow{
      ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 32, 32, {}};
  const TestFrame small = make_frame(narrow, 0, false, 3);
  const zolta_frame* mixed[3] = {&a.frame, &b.frame, &small.frame};
  EXPECT_EQ(zolta_noise_estimate_frames(&s, mixed, 3, sigma, &error), ZOLTA_ERROR_FRAME);
  EXPECT_NE(std::string(error.message).find("less than its row"), std::string::npos)
      << error.message;
  EXPECT_NE(std::string(error.message).find("(frame 2 of 3)"), std::string::npos) << error.message;
  zolta_frame old = a.frame;
  old.version = ZOLTA_MAKE_VERSION(ZOLTA_API_VERSION_MAJOR + 1, 0);
  const zolta_frame* newer[2] = {&old, &b.frame};
  EXPECT_EQ(zolta_noise_estimate_frames(&s, newer, 2, sigma, &error), ZOLTA_ERROR_ARGUMENT);
  // Nothing failed without an error record to fill.
  EXPECT_EQ(zolta_noise_estimate_frames(&s, mixed, 3, sigma, nullptr), ZOLTA_ERROR_FRAME);
}

TEST(Noise, SettingsGrowWithTheNoiseAndRefuseSigmaOutsideTheirRange) {
  zolta_settings last;
  zolta_settings_default(&last, ZOLTA_API_VERSION);
  for (float sigma = 0.5f; sigma <= 50.0f; sigma += 0.5f) {
    const float s3[3] = {sigma, sigma, sigma};
    zolta_settings s;
    ASSERT_EQ(zolta_settings_for_sigma(s3, ZOLTA_FAMILY_YUV420, &s, nullptr), ZOLTA_OK);
    for (int p = 0; p < 3; ++p) {
      for (int d = 0; d < 2; ++d) {
        for (int l = 0; l < 3; ++l) {
          EXPECT_GE(s.thresholds[p][d][l], last.thresholds[p][d][l]) << sigma;
          EXPECT_LE(s.thresholds[p][d][l], ZOLTA_THRESHOLD_MAX);
        }
      }
    }
    // Noise below about 0.7 is best left alone (the measured table starts
    // there with every level off); from 1 on, luma is always denoised.
    if (sigma >= 1.0f) {
      EXPECT_GT(s.thresholds[0][0][0], 0) << sigma;
    }
    last = s;
  }
  const float gray_only[3] = {10.0f, 0.0f, -1.0f};
  zolta_settings s;
  zolta_error error{};
  ASSERT_EQ(zolta_settings_for_sigma(gray_only, ZOLTA_FAMILY_GRAY, &s, &error), ZOLTA_OK);
  EXPECT_EQ(s.thresholds[1][0][0], 0);
  EXPECT_EQ(zolta_settings_for_sigma(gray_only, ZOLTA_FAMILY_YUV444, &s, &error),
            ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "sigma of plane 1 is 0; it lies in (0, 50]");
  const float too_much[3] = {50.5f, 1.0f, 1.0f};
  EXPECT_EQ(zolta_settings_for_sigma(too_much, ZOLTA_FAMILY_RGB, &s, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_settings_for_sigma(too_much, 12, &s, &error), ZOLTA_ERROR_FORMAT);
}

}  // namespace
