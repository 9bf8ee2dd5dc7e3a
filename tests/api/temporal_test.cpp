// SPDX-License-Identifier: BSD-2-Clause
// Windows of frames through the temporal step: every format, depth and view
// against the scalar model, the ends of a stream mirrored by the caller,
// settings that keep a frame's bytes as they are without the step, and the
// refusals of radii, windows and temporal settings out of range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api_support.h"
#include "test_support.h"

namespace {

zolta_settings temporal_settings(uint32_t seed, int32_t spatial_max) {
  zolta_settings s = random_settings(seed, spatial_max);
  std::mt19937 rng(seed * 7 + 3);
  // From thresholds that let almost nothing join random frames to ones that
  // let almost everything join; a plane now and then without the step.
  for (int32_t& v : s.temporal_thresholds) {
    v = rng() % 5 == 0 ? 0 : static_cast<int32_t>(rng() % (ZOLTA_THRESHOLD_MAX + 1));
  }
  for (int32_t& share : s.temporal_spatial_share) share = static_cast<int32_t>(rng() % 257);
  for (int32_t& q : s.temporal_restore) q = rng() % 3 == 0 ? 0 : static_cast<int32_t>(rng() % 257);
  return s;
}

// Runs a window through a denoiser of settings s and through the model, and
// compares the frames.
testing::AssertionResult window_matches_model(Denoiser& d, const zolta_stream& stream,
                                              const zolta_settings& s,
                                              const std::vector<const TestFrame*>& window) {
  TestFrame engine = make_frame(stream, 0, false, 0, 0x5a);
  TestFrame model = make_frame(stream, 0, false, 0, 0x5a);
  zolta_error error{};
  if (d.process_window(window, engine, &error) != ZOLTA_OK) {
    return testing::AssertionFailure() << error.message;
  }
  std::vector<ref::FrameRef> refs;
  for (const TestFrame* f : window) refs.push_back(f->ref());
  ref::process_window_format(model_format(stream), refs, model.ref(), model_settings(s));
  return same_frames(engine, model);
}

// The same with a new denoiser of the window's radius.
void expect_window_matches_model(const zolta_stream& stream, const zolta_settings& s,
                                 const std::vector<const TestFrame*>& window) {
  const int32_t radius = static_cast<int32_t>(window.size() / 2);
  Denoiser d(stream, s, 1, radius);
  ASSERT_EQ(zolta_denoiser_radius(d.d), radius);
  EXPECT_TRUE(window_matches_model(d, stream, s, window));
}

const struct {
  const char* name;
  int32_t view, show_plane, plane, enabled;
} kViews[] = {{"normal", ZOLTA_VIEW_NORMAL, 0, 0, 1},
              {"high Cb", ZOLTA_VIEW_HIGH, 0, 1, 1},
              {"diff", ZOLTA_VIEW_DIFF, 0, 0, 1},
              {"show Cr", ZOLTA_VIEW_NORMAL, 1, 2, 1},
              {"off", ZOLTA_VIEW_NORMAL, 0, 0, 0}};

TEST(Temporal, EveryFormatDepthViewAndRadiusMatchesTheModel) {
  uint32_t seed = 4000;
  for (const FormatCase& fc : every_format()) {
    const zolta_stream stream = stream_of(fc, 32, 16);
    std::vector<TestFrame> frames;
    for (int i = 0; i < 5; ++i) frames.push_back(make_frame(stream, 0, false, seed++));
    for (int32_t radius = 1; radius <= 2; ++radius) {
      std::vector<const TestFrame*> window;
      for (int32_t i = 2 - radius; i <= 2 + radius; ++i) window.push_back(&frames[i]);
      for (const auto& v : kViews) {
        SCOPED_TRACE(format_name(fc) + " radius " + std::to_string(radius) + " " + v.name);
        zolta_settings s = temporal_settings(seed++, 400);
        s.view = v.view;
        s.show_plane = v.show_plane;
        s.plane = v.plane;
        s.enabled = v.enabled;
        expect_window_matches_model(stream, s, window);
      }
    }
  }
}

TEST(Temporal, PlanesOfEverySizeAndStridesMatchTheModel) {
  // Planes of four rows and columns (every 3 x 3 sum touches an edge), odd
  // sizes of strips, and frames of the window in other layouts than the
  // centre's.
  const struct { int32_t width, height; } kSizes[] = {{8, 8}, {40, 24}, {200, 16}, {24, 40}};
  const FormatCase kFormats[] = {{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8},
                                 {ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_FLOAT, 32},
                                 {ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 12},
                                 {ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8}};
  uint32_t seed = 4500;
  for (const FormatCase& fc : kFormats) {
    for (const auto& size : kSizes) {
      const zolta_stream stream = stream_of(fc, size.width, size.height);
      SCOPED_TRACE(format_name(fc) + " " + std::to_string(size.width) + "x" +
                   std::to_string(size.height));
      const TestFrame a = make_frame(stream, 0, false, seed++);
      const TestFrame b = copy_layout(make_frame(stream, 0, false, seed++), 8, true);
      const TestFrame c = copy_layout(make_frame(stream, 0, false, seed++), 4, false);
      expect_window_matches_model(stream, temporal_settings(seed++, 300), {&b, &a, &c});
      expect_window_matches_model(stream, temporal_settings(seed++, 300), {&c, &b, &a, &c, &b});
    }
  }
}

TEST(Temporal, WithoutTemporalThresholdsAFrameKeepsItsBytes) {
  // Radius 1 and 2 with every temporal threshold 0 (whatever the share), a
  // still window at every radius, and the window at a stream's start
  // mirrored by the caller: frame 0 from frames 2, 1, 0, 1, 2.
  uint32_t seed = 4800;
  for (const FormatCase& fc : every_format()) {
    SCOPED_TRACE(format_name(fc));
    const zolta_stream stream = stream_of(fc, 32, 16);
    const TestFrame f0 = make_frame(stream, 0, false, seed++);
    const TestFrame f1 = make_frame(stream, 0, false, seed++);
    const TestFrame f2 = make_frame(stream, 0, false, seed++);
    zolta_settings s = random_settings(seed++, 300);
    s.temporal_spatial_share[0] = 100;
    s.temporal_spatial_share[1] = 60;
    TestFrame alone = make_frame(stream, 0, false, 0);
    {
      Denoiser d(stream, s);
      ASSERT_EQ(d.process(f0, alone), ZOLTA_OK);
    }
    for (int32_t radius = 1; radius <= 2; ++radius) {
      Denoiser d(stream, s, 1, radius);
      TestFrame out = make_frame(stream, 0, false, 0);
      const std::vector<const TestFrame*> window =
          radius == 1 ? std::vector<const TestFrame*>{&f1, &f0, &f1}
                      : std::vector<const TestFrame*>{&f2, &f1, &f0, &f1, &f2};
      ASSERT_EQ(d.process_window(window, out), ZOLTA_OK);
      EXPECT_TRUE(same_frames(out, alone));
    }
    // A still window with the step on (four other frames with the centre's
    // samples): every sample joins, and the average of equal whole numbers is
    // the number; so 8-bit YUV and grey frames are those of the spatial step
    // alone with the shared thresholds. The same frame given five times is a
    // window of one frame: the spatial step alone with the whole thresholds.
    if (fc.bits != 8 || fc.family == ZOLTA_FAMILY_RGB || fc.family == ZOLTA_FAMILY_RGB24 ||
        fc.family == ZOLTA_FAMILY_RGB32) {
      continue;
    }
    zolta_settings on = s;
    for (int32_t& v : on.temporal_thresholds) v = 16;
    zolta_settings shared = s;
    for (auto& plane : shared.thresholds) {
      for (auto& direction : plane) {
        for (int32_t& v : direction) v = v == 0 ? 0 : std::max(1, (v * 60 + 128) >> 8);
      }
    }
    Denoiser still(stream, on, 1, 2);
    Denoiser spatial(stream, shared);
    TestFrame a = make_frame(stream, 0, false, 0);
    TestFrame b = make_frame(stream, 0, false, 0);
    const TestFrame copies[4] = {copy_layout(f0, 0, false), copy_layout(f0, 3, false),
                                 copy_layout(f0, 0, true), copy_layout(f0, 5, true)};
    ASSERT_EQ(still.process_window({&copies[0], &copies[1], &f0, &copies[2], &copies[3]}, a),
              ZOLTA_OK);
    ASSERT_EQ(spatial.process(f0, b), ZOLTA_OK);
    EXPECT_TRUE(same_frames(a, b));
    TestFrame c = make_frame(stream, 0, false, 0);
    ASSERT_EQ(still.process_window({&f0, &f0, &f0, &f0, &f0}, c), ZOLTA_OK);
    EXPECT_TRUE(same_frames(c, alone));
  }
}

TEST(Temporal, AFrameGivenAgainCountsOnce) {
  // The window mirrored at a stream's start and end is the window of the
  // frames that exist: frame 0 of 1, 2 ... from {2, 1, 0, 1, 2} as from
  // {0, 0, 0, 1, 2}; and the model agrees on both.
  const zolta_stream stream = stream_of({ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8}, 40, 24);
  const TestFrame f0 = make_frame(stream, 0, false, 61);
  const TestFrame f1 = make_frame(stream, 0, false, 62);
  const TestFrame f2 = make_frame(stream, 0, false, 63);
  zolta_settings s = temporal_settings(64, 300);
  for (int32_t& v : s.temporal_thresholds) v = 3000;  // every neighbour joins
  Denoiser d(stream, s, 1, 2);
  TestFrame mirrored = make_frame(stream, 0, false, 0);
  TestFrame shortened = make_frame(stream, 0, false, 0);
  ASSERT_EQ(d.process_window({&f2, &f1, &f0, &f1, &f2}, mirrored), ZOLTA_OK);
  ASSERT_EQ(d.process_window({&f0, &f0, &f0, &f1, &f2}, shortened), ZOLTA_OK);
  EXPECT_TRUE(same_frames(mirrored, shortened));
  // A copy of a frame is another frame: it is averaged in again.
  const TestFrame copy = copy_layout(f1, 0, false);
  TestFrame twice = make_frame(stream, 0, false, 0);
  ASSERT_EQ(d.process_window({&f2, &copy, &f0, &f1, &f2}, twice), ZOLTA_OK);
  EXPECT_FALSE(same_frames(twice, mirrored));
  expect_window_matches_model(stream, s, {&f2, &f1, &f0, &f1, &f2});
  expect_window_matches_model(stream, s, {&f2, &copy, &f0, &f1, &f2});
}

// Frame k of a stream: a smooth picture moved 2 samples right and 1 down per
// frame, with noise, in the format's range (planar families).
TestFrame moving_frame(const FormatCase& fc, const zolta_stream& stream, int32_t k, uint32_t seed) {
  TestFrame f = make_frame(stream, 8, false, 0);
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.04f);
  const size_t size = fc.sample == ZOLTA_SAMPLE_FLOAT ? 4 : (fc.bits > 8 ? 2 : 1);
  const float top = fc.sample == ZOLTA_SAMPLE_FLOAT ? 1.0f : float((1 << fc.bits) - 1);
  for (int p = 0; p < 3 && f.frame.data[p]; ++p) {
    const int32_t samples = int32_t(row_bytes(stream, p) / size);
    const int32_t scale = stream.width / samples;  // chroma moves by less
    for (int32_t r = 0; r < plane_rows(stream, p); ++r) {
      uint8_t* row = static_cast<uint8_t*>(f.frame.data[p]) + r * f.frame.stride[p];
      for (int32_t x = 0; x < samples; ++x) {
        const float u = float(x * scale - 2 * k), v = float(r * scale - k);
        float value = 0.5f + 0.3f * std::sin(0.19f * u + 0.11f * v + float(p)) +
                      0.15f * std::cos(0.05f * u - 0.23f * v) + noise(rng);
        value = std::min(std::max(value, 0.0f), 1.0f) * top;
        if (size == 4) {
          std::memcpy(row + 4 * x, &value, 4);
        } else if (size == 2) {
          const uint16_t w = uint16_t(std::lround(value));
          std::memcpy(row + 2 * x, &w, 2);
        } else {
          row[x] = uint8_t(std::lround(value));
        }
      }
    }
  }
  return f;
}

TEST(Temporal, AStreamOfMovingNumberedFramesMatchesTheModelOnEveryPath) {
  // One denoiser over a stream, each window mirrored at the ends, frames
  // numbered (so the denoiser keeps what it converted) or not, and buffers
  // used again for later frames under new numbers, thresholds that follow
  // brightness or not: every output frame is the model's, on every path.
  const FormatCase cases[] = {{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8},
                              {ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_INTEGER, 16},
                              {ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 10},
                              {ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_FLOAT, 32},
                              {ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8}};
  constexpr int32_t kFrames = 7;
  for (zolta::SimdPath path : available_paths()) {
    PathScope scope(path);
    for (const FormatCase& fc : cases) {
      const zolta_stream stream = stream_of(fc, 72, 40);
      std::vector<TestFrame> frames;
      for (int32_t k = 0; k < kFrames; ++k) frames.push_back(moving_frame(fc, stream, k, 900 + k));
      for (int32_t radius = 1; radius <= 2; ++radius) {
        zolta_settings s = temporal_settings(70 + radius, 300);
        for (int32_t& v : s.temporal_thresholds) v = 400;
        for (const auto& [numbered, curved] :
             {std::pair{true, false}, {false, false}, {false, true}}) {
          SCOPED_TRACE(format_name(fc) + " radius " + std::to_string(radius) +
                       (numbered ? " numbered" : "") + (curved ? " curve" : ""));
          // Gains from 1.4 in the dark to a quarter in the bright: the
          // step holds each block to its own threshold.
          for (auto& plane : s.brightness_gains) {
            for (int k = 0; k < ZOLTA_BRIGHTNESS_BANDS; ++k) {
              plane[k] = curved ? static_cast<uint16_t>(1434 - 72 * k) : 0;
            }
          }
          Denoiser d(stream, s, 1, radius);
          for (int32_t n = 0; n < kFrames; ++n) {
            std::vector<TestFrame*> window;
            for (int32_t i = n - radius; i <= n + radius; ++i) {
              const int32_t at = i < 0 ? -i : (i >= kFrames ? 2 * (kFrames - 1) - i : i);
              window.push_back(&frames[at]);
              window.back()->frame.number = numbered ? at + 1 : 0;
            }
            const std::vector<const TestFrame*> given(window.begin(), window.end());
            EXPECT_TRUE(window_matches_model(d, stream, s, given)) << "frame " << n;
          }
        }
        // A buffer filled again with another frame comes with a new number.
        Denoiser d(stream, s, 1, radius);
        TestFrame reused = moving_frame(fc, stream, 3, 77);
        std::vector<const TestFrame*> window;
        for (int32_t i = 0; i < 2 * radius + 1; ++i) window.push_back(&frames[i]);
        for (TestFrame& f : frames) f.frame.number = 0;
        frames[radius].frame.number = 50;
        TestFrame first = make_frame(stream, 0, false, 0);
        ASSERT_EQ(d.process_window(window, first), ZOLTA_OK);
        std::swap(frames[radius].storage, reused.storage);
        std::swap(frames[radius].frame.data, reused.frame.data);
        frames[radius].frame.number = 51;
        EXPECT_TRUE(window_matches_model(d, stream, s, window));
        std::swap(frames[radius].storage, reused.storage);
        std::swap(frames[radius].frame.data, reused.frame.data);
        frames[radius].frame.number = 0;
      }
    }
  }
}

// On every path, `window` gives the bytes of `instead` (its frames of
// another scene replaced) and not those of `unlike`, as the model does.
void expect_left_out(const zolta_stream& stream, const zolta_settings& s,
                     const std::vector<const TestFrame*>& window,
                     const std::vector<const TestFrame*>& instead,
                     const std::vector<const TestFrame*>& unlike) {
  for (zolta::SimdPath path : available_paths()) {
    PathScope scope(path);
    Denoiser d(stream, s, 1, static_cast<int32_t>(window.size() / 2));
    TestFrame got = make_frame(stream, 0, false, 0), want = make_frame(stream, 0, false, 0);
    TestFrame other = make_frame(stream, 0, false, 0);
    ASSERT_EQ(d.process_window(window, got), ZOLTA_OK);
    ASSERT_EQ(d.process_window(instead, want), ZOLTA_OK);
    ASSERT_EQ(d.process_window(unlike, other), ZOLTA_OK);
    EXPECT_TRUE(same_frames(got, want));
    EXPECT_FALSE(same_frames(got, other));
    expect_window_matches_model(stream, s, window);
  }
}

TEST(Temporal, AFrameOfAnotherSceneIsLeftOutWhole) {
  // A frame lit brighter (a flash) among frames of a moving picture adds
  // nothing: the window gives the bytes of the window without it (the
  // centre given again in its place), on every path, as the model does;
  // the frames of the picture are taken.
  const FormatCase fc{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8};
  const zolta_stream stream = stream_of(fc, 160, 96);
  std::vector<TestFrame> frames;
  for (int32_t k = 0; k < 5; ++k) frames.push_back(moving_frame(fc, stream, k, 300 + k));
  TestFrame lit = copy_layout(frames[3], 0, false);
  for (int p = 0; p < 3; ++p) {
    for (int32_t r = 0; r < plane_rows(stream, p); ++r) {
      uint8_t* row = static_cast<uint8_t*>(lit.frame.data[p]) + r * lit.frame.stride[p];
      for (size_t x = 0; x < row_bytes(stream, p); ++x)
        row[x] = uint8_t(std::min(255, row[x] + 50));
    }
  }
  zolta_settings s = temporal_settings(81, 300);
  for (int32_t& v : s.temporal_thresholds) v = 400;
  expect_left_out(stream, s, {&frames[0], &frames[1], &frames[2], &lit, &frames[4]},
                  {&frames[0], &frames[1], &frames[2], &frames[2], &frames[4]},
                  {&frames[2], &frames[2], &frames[2], &frames[2], &frames[2]});
}

TEST(Temporal, AFrameFoundAtTheSearchsBoundIsLeftOutWhole) {
  // A ramp moving 24 samples right a frame (every plane, in its own
  // samples), a centre with a level of noise either way, a low threshold:
  // every block the search can follow that far is found exactly at the
  // bound, as one stopped there by motion beyond it. Such blocks do not
  // count for the scene (were they counted, 16 blocks in 18 across would
  // match): the neighbours add no more than frames of another scene do,
  // where the ramp standing still (all blocks found in place) averages.
  const FormatCase fc{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8};
  const zolta_stream stream = stream_of(fc, 160, 96);
  auto ramp = [&](int32_t k, bool noisy) {
    TestFrame f = make_frame(stream, 0, false, 0);
    std::mt19937 rng(k + 40);
    for (int p = 0; p < 3; ++p) {
      for (int32_t r = 0; r < plane_rows(stream, p); ++r) {
        uint8_t* row = static_cast<uint8_t*>(f.frame.data[p]) + r * f.frame.stride[p];
        for (size_t x = 0; x < row_bytes(stream, p); ++x) {
          const int32_t u = int32_t(x) - 24 * k, level = noisy ? int32_t(rng() % 3) - 1 : 0;
          row[x] = uint8_t(std::min(255, std::max(0, 10 + u * 3 / 2 + level)));
        }
      }
    }
    return f;
  };
  const TestFrame before = ramp(-1, false), centre = ramp(0, true), after = ramp(1, false);
  const TestFrame grey = make_frame(stream, 0, false, 0, 0x80);
  zolta_settings s = temporal_settings(82, 300);
  for (int32_t& v : s.temporal_thresholds) v = 20;
  const TestFrame still = ramp(0, false);
  expect_left_out(stream, s, {&before, &centre, &after}, {&grey, &centre, &grey},
                  {&still, &centre, &still});
}

TEST(Temporal, TheCentreFrameMayBeTheOutput) {
  const zolta_stream stream = stream_of({ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10}, 40, 24);
  const TestFrame a = make_frame(stream, 0, false, 51);
  const TestFrame b = make_frame(stream, 0, false, 52);
  const zolta_settings s = temporal_settings(53, 300);
  Denoiser d(stream, s, 1, 1);
  TestFrame separate = make_frame(stream, 0, false, 0);
  ASSERT_EQ(d.process_window({&a, &b, &a}, separate), ZOLTA_OK);
  TestFrame centre = copy_layout(b, 0, false);
  ASSERT_EQ(d.process_window({&a, &centre, &a}, centre), ZOLTA_OK);
  EXPECT_TRUE(same_frames(centre, separate));
}

TEST(Temporal, RadiiWindowsAndTemporalSettingsOutOfRangeAreRefused) {
  const zolta_stream stream = stream_of({ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8}, 16, 16);
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = stream;
  EXPECT_EQ(config.temporal_radius, 0);
  zolta_denoiser* d = nullptr;
  zolta_error error{};
  // Each radius and temporal setting out of its range, named in the message.
  zolta_settings& t = config.settings;
  const struct {
    int32_t* field;
    int32_t value;
    int code;
    const char* message;
  } kOutOfRange[] = {
      {&config.temporal_radius, -1, ZOLTA_ERROR_ARGUMENT, "temporal radius"},
      {&config.temporal_radius, 3, ZOLTA_ERROR_ARGUMENT, "temporal radius"},
      {&config.temporal_radius, 1000, ZOLTA_ERROR_ARGUMENT, "temporal radius"},
      {&t.temporal_thresholds[1], ZOLTA_THRESHOLD_MAX + 1, ZOLTA_ERROR_SETTINGS,
       "temporal threshold of plane 1"},
      {&t.temporal_spatial_share[1], 257, ZOLTA_ERROR_SETTINGS,
       "spatial share at temporal radius 2"},
      {&t.temporal_spatial_share[1], -1, ZOLTA_ERROR_SETTINGS,
       "spatial share at temporal radius 2"},
      {&t.temporal_restore[0], 257, ZOLTA_ERROR_SETTINGS, "restored detail at temporal radius 1"}};
  config.temporal_radius = 2;
  for (const auto& c : kOutOfRange) {
    const int32_t kept = *c.field;
    *c.field = c.value;
    EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), c.code) << c.message << " " << c.value;
    EXPECT_EQ(d, nullptr);
    EXPECT_NE(std::string(error.message).find(c.message), std::string::npos) << error.message;
    *c.field = kept;
  }
  ASSERT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_OK) << error.message;
  const TestFrame in = make_frame(stream, 0, false, 9);
  TestFrame out = make_frame(stream, 0, false, 0);
  const zolta_frame* three[] = {&in.frame, &in.frame, &in.frame};
  EXPECT_EQ(zolta_denoiser_process_window(d, three, 3, &out.frame, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_NE(std::string(error.message).find("temporal radius 2"), std::string::npos)
      << error.message;
  EXPECT_EQ(zolta_denoiser_process(d, &in.frame, &out.frame, &error), ZOLTA_ERROR_ARGUMENT);
  const zolta_frame* five[] = {&in.frame, &out.frame, &in.frame, &in.frame, &in.frame};
  EXPECT_EQ(zolta_denoiser_process_window(d, five, 5, &out.frame, &error), ZOLTA_ERROR_FRAME);
  zolta_settings bad = config.settings;
  bad.temporal_thresholds[0] = -5;
  EXPECT_EQ(zolta_denoiser_update(d, &bad, &error), ZOLTA_ERROR_SETTINGS);
  zolta_denoiser_destroy(d);
}

}  // namespace
