// SPDX-License-Identifier: BSD-2-Clause
// What the interface gained to grow without breaking its callers: records
// that name their version, planes interleaved in one picture (the pixel
// step), the window process call, and noise given in the input's own
// channels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "api_support.h"
#include "zolta.h"

extern "C" int c_caller_denoise_gray(uint8_t* samples, int32_t width, int32_t height, char* message,
                                     size_t size);

namespace {

// An interleaved copy of a planar frame: the planes' samples side by side in
// one picture, each pixel followed by an alpha sample of `alpha`.
struct Interleaved {
  std::vector<uint8_t> bytes;
  zolta_frame frame{};
  int32_t pixel = 0;  // bytes of one pixel
  int32_t sample = 0;
};

Interleaved interleave(const TestFrame& planar, uint8_t alpha) {
  const zolta_stream& s = planar.stream;
  const int planes = zolta_stream_planes(&s);
  Interleaved t;
  t.sample = s.sample == ZOLTA_SAMPLE_FLOAT ? 4 : (s.bits > 8 ? 2 : 1);
  t.pixel = (planes + 1) * t.sample;
  t.bytes.assign(static_cast<size_t>(s.width) * s.height * t.pixel, alpha);
  for (int p = 0; p < planes; ++p) {
    t.frame.data[p] = t.bytes.data() + p * t.sample;
    t.frame.stride[p] = static_cast<ptrdiff_t>(s.width) * t.pixel;
    t.frame.step[p] = t.pixel;
    for (int32_t r = 0; r < s.height; ++r) {
      const uint8_t* from =
          static_cast<const uint8_t*>(planar.frame.data[p]) + r * planar.frame.stride[p];
      uint8_t* to = static_cast<uint8_t*>(t.frame.data[p]) + r * t.frame.stride[p];
      for (int32_t x = 0; x < s.width; ++x) {
        std::memcpy(to + x * t.pixel, from + x * t.sample, t.sample);
      }
    }
  }
  return t;
}

// Every sample of the interleaved picture against the planar frame, and every
// alpha sample against `alpha`.
testing::AssertionResult matches(const Interleaved& t, const TestFrame& planar, uint8_t alpha) {
  const zolta_stream& s = planar.stream;
  const int planes = zolta_stream_planes(&s);
  for (int32_t r = 0; r < s.height; ++r) {
    for (int32_t x = 0; x < s.width; ++x) {
      const uint8_t* pixel = t.bytes.data() + (static_cast<size_t>(r) * s.width + x) * t.pixel;
      for (int p = 0; p < planes; ++p) {
        const uint8_t* want = static_cast<const uint8_t*>(planar.frame.data[p]) +
                              r * planar.frame.stride[p] + x * t.sample;
        if (std::memcmp(pixel + p * t.sample, want, t.sample) != 0) {
          return testing::AssertionFailure() << "plane " << p << " at " << x << ", " << r;
        }
      }
      for (int b = 0; b < t.sample; ++b) {
        if (pixel[planes * t.sample + b] != alpha) {
          return testing::AssertionFailure() << "alpha changed at " << x << ", " << r;
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

}  // namespace

TEST(InterfaceGrowth, InterleavedPlanesGiveThePlanarBytesAndLeaveAlphaAlone) {
  const FormatCase cases[] = {
      {ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8},
      {ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16},
      {ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_FLOAT, 32},
      {ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8},
      {ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 10},
      {ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_INTEGER, 12},
      {ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_FLOAT, 32},
  };
  for (const FormatCase& f : cases) {
    for (int32_t view : {0, 1, 2, -1}) {  // normal, high, diff; off
      SCOPED_TRACE(format_name(f) + " view " + std::to_string(view));
      const zolta_stream s = stream_of(f, 24, 16);
      zolta_settings settings = random_settings(7, 400);
      if (view >= 0) settings.view = view;
      settings.enabled = view >= 0;
      settings.plane = 1 % zolta_stream_planes(&s);
      Denoiser d(s, settings);
      const TestFrame in = make_frame(s, 0, false, 11);
      const TestFrame want = make_frame(s, 0, false, 0);
      ASSERT_EQ(d.process(in, want), ZOLTA_OK);

      // Into another picture whose alpha differs from the input's.
      const Interleaved source = interleave(in, 0xa5);
      Interleaved target = interleave(make_frame(s, 0, false, 0), 0x3c);
      zolta_error error{};
      ASSERT_EQ(zolta_denoiser_process(d.d, &source.frame, &target.frame, &error), ZOLTA_OK)
          << error.message;
      EXPECT_TRUE(matches(target, want, 0x3c));
      EXPECT_TRUE(matches(source, in, 0xa5));  // the input is only read

      // In place.
      Interleaved both = interleave(in, 0x5a);
      ASSERT_EQ(zolta_denoiser_process(d.d, &both.frame, &both.frame, &error), ZOLTA_OK)
          << error.message;
      EXPECT_TRUE(matches(both, want, 0x5a));
    }
  }
}

TEST(InterfaceGrowth, InterleavedWindowsGiveThePlanarBytesAndLeaveAlphaAlone) {
  // A stream of numbered frames with alpha through the temporal step: each
  // output is the planar window's, and no alpha byte is read or written.
  for (const FormatCase& f : {FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8},
                              FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16}}) {
    SCOPED_TRACE(format_name(f));
    const zolta_stream s = stream_of(f, 40, 24);
    zolta_settings settings = random_settings(9, 300);
    for (int32_t& v : settings.temporal_thresholds) v = 2000;
    settings.temporal_restore[0] = 100;
    Denoiser planar(s, settings, 1, 1), interleaved(s, settings, 1, 1);
    std::vector<TestFrame> frames;
    std::vector<Interleaved> rgba;
    for (int n = 0; n < 4; ++n) {
      frames.push_back(make_frame(s, 0, false, 30 + n));
      rgba.push_back(interleave(frames.back(), 0x80 + n));
      rgba.back().frame.number = n + 1;
    }
    for (int n = 0; n < 4; ++n) {
      const int before = n == 0 ? 1 : n - 1, after = n == 3 ? 2 : n + 1;
      const TestFrame want = make_frame(s, 0, false, 0);
      ASSERT_EQ(planar.process_window({&frames[before], &frames[n], &frames[after]}, want),
                ZOLTA_OK);
      Interleaved got = interleave(make_frame(s, 0, false, 0), 0x3c);
      const zolta_frame* window[3] = {&rgba[before].frame, &rgba[n].frame, &rgba[after].frame};
      zolta_error error{};
      ASSERT_EQ(zolta_denoiser_process_window(interleaved.d, window, 3, &got.frame, &error),
                ZOLTA_OK)
          << error.message;
      EXPECT_TRUE(matches(got, want, 0x3c)) << "frame " << n;
      EXPECT_TRUE(matches(rgba[n], frames[n], 0x80 + n)) << "the input is only read";
    }
  }
}

TEST(InterfaceGrowth, NoiseEstimateReadsInterleavedPlanesAsPlanar) {
  const zolta_stream s = stream_of({ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16}, 64, 32);
  const TestFrame planar = make_frame(s, 0, false, 5);
  const Interleaved rgba = interleave(planar, 0xff);
  float a[3], b[3];
  ASSERT_EQ(zolta_noise_estimate(&s, &planar.frame, a, nullptr), ZOLTA_OK);
  ASSERT_EQ(zolta_noise_estimate(&s, &rgba.frame, b, nullptr), ZOLTA_OK);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(a[p], b[p]);
}

TEST(InterfaceGrowth, PixelStepsThatCannotBeAreRefused) {
  const zolta_stream s = stream_of({ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16}, 8, 8);
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  Denoiser d(s, settings);
  const TestFrame in = make_frame(s, 0, false, 3);
  Interleaved t = interleave(in, 0);
  zolta_error error{};
  t.frame.step[1] = 3;  // not a multiple of the 2-byte sample
  EXPECT_EQ(zolta_denoiser_process(d.d, &t.frame, &t.frame, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "input frame: plane 1 has a pixel step of 3 bytes; it is 0 or a multiple of the "
               "sample size up to 1048576");
  t = interleave(in, 0);
  t.frame.stride[2] = 56;  // the last sample of a row (at 7 x 8 bytes) would pass it
  EXPECT_EQ(zolta_denoiser_process(d.d, &t.frame, &t.frame, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "input frame: plane 2 has a stride of 56 bytes, less than its row of 58 bytes");
  // The output over the input with another step would overwrite what is yet to be read.
  const Interleaved source = interleave(in, 0);
  zolta_frame over = source.frame;
  over.step[0] = 2;
  EXPECT_EQ(zolta_denoiser_process(d.d, &source.frame, &over, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "plane 0: input and output start at the same place with other pixel steps");

  const zolta_stream packed = stream_of({ZOLTA_FAMILY_RGB32, ZOLTA_SAMPLE_INTEGER, 8}, 8, 8);
  Denoiser p(packed, settings);
  TestFrame frame = make_frame(packed, 0, false, 3);
  frame.frame.step[0] = 4;
  EXPECT_EQ(p.process(frame, frame, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "input frame: plane 0 has a pixel step of 4 bytes; packed formats "
               "take 0");
}

TEST(InterfaceGrowth, RecordsOfAnotherVersionAreRefusedByName) {
  zolta_stream s;
  zolta_stream_default(&s, ZOLTA_API_VERSION);
  s.width = s.height = 8;
  zolta_error error{};
  EXPECT_EQ(zolta_stream_check(&s, &error), ZOLTA_OK) << error.message;
  s.version = 0;
  EXPECT_EQ(zolta_stream_check(&s, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message,
               "the zolta_stream has version 0: fill it with "
               "zolta_stream_default(&record, ZOLTA_API_VERSION) first");
  s.version = ZOLTA_MAKE_VERSION(ZOLTA_API_VERSION_MAJOR, ZOLTA_API_VERSION_MINOR + 1);
  EXPECT_EQ(zolta_stream_check(&s, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "the zolta_stream has version 1.3; this library is version 1.2");
  s.version = ZOLTA_MAKE_VERSION(2, 0);
  EXPECT_EQ(zolta_stream_check(&s, &error), ZOLTA_ERROR_ARGUMENT);

  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  EXPECT_EQ(config.stream.version, static_cast<uint32_t>(ZOLTA_API_VERSION));
  EXPECT_EQ(config.settings.version, static_cast<uint32_t>(ZOLTA_API_VERSION));
  EXPECT_EQ(config.settings.enabled, 1);
  config.stream.width = config.stream.height = 8;
  zolta_denoiser* d = nullptr;
  config.settings.version = 0;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message,
               "the zolta_settings has version 0: fill it with "
               "zolta_settings_default(&record, ZOLTA_API_VERSION) first");
  config.settings.version = ZOLTA_API_VERSION;
  config.version = 0;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(d, nullptr);
  config.version = ZOLTA_API_VERSION;
  ASSERT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_OK) << error.message;

  std::vector<uint8_t> samples(64, 9);
  zolta_frame frame;
  zolta_frame_default(&frame, ZOLTA_API_VERSION);
  frame.data[0] = samples.data();
  frame.stride[0] = 8;
  EXPECT_EQ(zolta_denoiser_process(d, &frame, &frame, &error), ZOLTA_OK) << error.message;
  frame.version = 0;
  EXPECT_EQ(zolta_denoiser_process(d, &frame, &frame, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message,
               "the zolta_frame has version 0: fill it with "
               "zolta_frame_default(&record, ZOLTA_API_VERSION) first");
  zolta_denoiser_destroy(d);
}

TEST(InterfaceGrowth, AProgramInCFillsItsRecordsWithTheDefaults) {
  std::vector<uint8_t> samples(32 * 16);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37 % 251);
  std::vector<uint8_t> expected = samples;
  char message[512] = "";
  ASSERT_EQ(c_caller_denoise_gray(samples.data(), 32, 16, message, sizeof message), ZOLTA_OK)
      << message;
  // The same frame through C++ records.
  const zolta_stream s = stream_of({ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8}, 32, 16);
  zolta_settings settings;
  ASSERT_EQ(zolta_settings_for_sigma(std::vector<float>{10, 10, 10}.data(), ZOLTA_FAMILY_GRAY,
                                     &settings, nullptr),
            ZOLTA_OK);
  Denoiser d(s, settings);
  zolta_frame frame{};
  frame.data[0] = expected.data();
  frame.stride[0] = 32;
  ASSERT_EQ(zolta_denoiser_process(d.d, &frame, &frame, nullptr), ZOLTA_OK);
  EXPECT_EQ(samples, expected);
}

TEST(InterfaceGrowth, AWindowOfOneFrameIsTheFrameAndOtherWindowsAreRefused) {
  const zolta_stream s = stream_of({ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10}, 32, 16);
  const zolta_settings settings = random_settings(3, 300);
  Denoiser d(s, settings);
  EXPECT_EQ(zolta_denoiser_radius(d.d), 0);
  const TestFrame in = make_frame(s, 0, false, 8);
  const TestFrame a = make_frame(s, 0, false, 0), b = make_frame(s, 0, false, 0);
  ASSERT_EQ(d.process(in, a), ZOLTA_OK);
  const zolta_frame* window[3] = {&in.frame, &in.frame, &in.frame};
  zolta_error error{};
  ASSERT_EQ(zolta_denoiser_process_window(d.d, window, 1, &b.frame, &error), ZOLTA_OK);
  EXPECT_TRUE(same_frames(a, b));
  EXPECT_EQ(zolta_denoiser_process_window(d.d, window, 3, &b.frame, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "a window of 3 frames; this denoiser takes 1 (temporal radius 0)");
  window[0] = nullptr;
  EXPECT_EQ(zolta_denoiser_process_window(d.d, window, 1, &b.frame, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_denoiser_process_window(d.d, nullptr, 1, &b.frame, &error), ZOLTA_ERROR_ARGUMENT);
}

TEST(InterfaceGrowth, NoiseInTheInputsChannelsBecomesTheNoiseOfThePlanes) {
  zolta_error error{};
  float planes[3];
  // The same noise in R, G and B: the weights' root sums of squares.
  const float rgb[3] = {10, 10, 10};
  ASSERT_EQ(zolta_noise_to_planes(rgb, ZOLTA_FAMILY_RGB24, planes, &error), ZOLTA_OK);
  EXPECT_NEAR(planes[0], 6.6855f, 1e-3f);
  EXPECT_NEAR(planes[1], 6.2380f, 1e-3f);
  EXPECT_NEAR(planes[2], 6.5695f, 1e-3f);
  // Noise in one channel only: its weight in each plane.
  const float green[3] = {0, 4, 0};
  ASSERT_EQ(zolta_noise_to_planes(green, ZOLTA_FAMILY_RGB, planes, &error), ZOLTA_OK);
  EXPECT_NEAR(planes[0], 0.587f * 4, 1e-5f);
  EXPECT_NEAR(planes[1], 0.565f * 0.587f * 4, 1e-5f);
  EXPECT_NEAR(planes[2], 0.713f * 0.587f * 4, 1e-5f);
  // YUV and grey noise is the planes' already.
  const float yuv[3] = {3, 2, 1};
  ASSERT_EQ(zolta_noise_to_planes(yuv, ZOLTA_FAMILY_YUV420, planes, &error), ZOLTA_OK);
  EXPECT_EQ(planes[0], 3.0f);
  EXPECT_EQ(planes[2], 1.0f);
  const float bad[3] = {-1, 0, 0};
  EXPECT_EQ(zolta_noise_to_planes(bad, ZOLTA_FAMILY_GRAY, planes, &error), ZOLTA_ERROR_ARGUMENT);

  // Settings for RGB noise: the table at the planes' noise, for every face.
  zolta_settings by_noise, by_planes;
  ASSERT_EQ(zolta_settings_for_noise(rgb, ZOLTA_FAMILY_RGB, &by_noise, &error), ZOLTA_OK);
  ASSERT_EQ(zolta_noise_to_planes(rgb, ZOLTA_FAMILY_RGB, planes, &error), ZOLTA_OK);
  ASSERT_EQ(zolta_settings_for_sigma(planes, ZOLTA_FAMILY_RGB, &by_planes, &error), ZOLTA_OK);
  EXPECT_EQ(std::memcmp(&by_noise, &by_planes, sizeof by_noise), 0);
  zolta_settings heavier;
  ASSERT_EQ(zolta_settings_for_sigma(rgb, ZOLTA_FAMILY_RGB, &heavier, &error), ZOLTA_OK);
  EXPECT_GT(heavier.thresholds[0][0][0], by_noise.thresholds[0][0][0]);
}
