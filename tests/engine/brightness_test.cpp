// SPDX-License-Identifier: BSD-2-Clause
// Thresholds that follow brightness: a curve thresholds shadows and
// highlights differently and leaves the rest as it was; no curve (or a flat
// one, or a record older than the curve) gives the bytes without one; every
// format, view, radius and path equals the scalar model. (The settings made
// from a noise model carry its curve: noise_model_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api_support.h"
#include "test_support.h"

using namespace zolta;

namespace {

constexpr int32_t kWidth = 128, kHeight = 32;

// Bands 0..7 (local brightness below 128) take `dark`, 8..15 `bright`.
void set_gains(zolta_settings& s, uint16_t dark, uint16_t bright) {
  for (auto& plane : s.brightness_gains) {
    for (int k = 0; k < ZOLTA_BRIGHTNESS_BANDS; ++k) plane[k] = k < 8 ? dark : bright;
  }
}

// A grey frame, its left half around 30 and its right half around 220,
// with the same random detail of up to +-8 on both.
TestFrame halves() {
  const zolta_stream s = stream_of({ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
  TestFrame f = make_frame(s, 0, false, 0);
  std::mt19937 rng(11);
  for (int32_t r = 0; r < kHeight; ++r) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const int detail = static_cast<int>(rng() % 17) - 8;
      static_cast<uint8_t*>(f.frame.data[0])[r * f.frame.stride[0] + x] =
          static_cast<uint8_t>((x < kWidth / 2 ? 30 : 220) + detail);
    }
  }
  return f;
}

TestFrame denoised(const TestFrame& in, const zolta_settings& s) {
  TestFrame out = make_frame(in.stream, 0, false, 0);
  Denoiser d(in.stream, s);
  zolta_error error{};
  EXPECT_EQ(d.process(in, out, &error), ZOLTA_OK) << error.message;
  return out;
}

// What the samples of a half (away from the other half and from the wrap
// of the periodic rows) hold.
enum Outcome { kInput, kWithoutCurve, kOther };

Outcome outcome(const TestFrame& out, const TestFrame& in, const TestFrame& plain, bool right) {
  bool as_input = true, as_plain = true;
  for (int32_t r = 0; r < kHeight; ++r) {
    for (int32_t x = 24; x < 40; ++x) {
      const ptrdiff_t at = r * out.frame.stride[0] + x + (right ? kWidth / 2 : 0);
      const uint8_t v = static_cast<const uint8_t*>(out.frame.data[0])[at];
      as_input = as_input && v == static_cast<const uint8_t*>(in.frame.data[0])[at];
      as_plain = as_plain && v == static_cast<const uint8_t*>(plain.frame.data[0])[at];
    }
  }
  return as_plain ? kWithoutCurve : (as_input ? kInput : kOther);
}

}  // namespace

TEST(Brightness, ShadowsAndHighlightsAreThresholdedByTheirGain) {
  struct Case {
    const char* name;
    uint16_t dark, bright;
    uint32_t version;
    Outcome left, right;
  } const cases[] = {
      {"no curve", 0, 0, ZOLTA_API_VERSION, kWithoutCurve, kWithoutCurve},
      {"flat curve", 1024, 1024, ZOLTA_API_VERSION, kWithoutCurve, kWithoutCurve},
      {"shadows kept", 0, 1024, ZOLTA_API_VERSION, kInput, kWithoutCurve},
      {"highlights kept", 1024, 0, ZOLTA_API_VERSION, kWithoutCurve, kInput},
      {"shadows twice", 2048, 1024, ZOLTA_API_VERSION, kOther, kWithoutCurve},
      {"record of 1.1", 0, 1024, ZOLTA_MAKE_VERSION(1, 1), kWithoutCurve, kWithoutCurve},
  };
  const TestFrame in = halves();
  zolta_settings base;
  zolta_settings_default(&base, ZOLTA_API_VERSION);
  for (auto& plane : base.thresholds) {
    for (auto& direction : plane) {
      for (int32_t& v : direction) v = 64;
    }
  }
  const TestFrame plain = denoised(in, base);
  ASSERT_EQ(outcome(plain, in, in, false), kOther) << "the thresholds change nothing";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zolta_settings s = base;
    s.version = c.version;
    set_gains(s, c.dark, c.bright);
    const TestFrame out = denoised(in, s);
    EXPECT_EQ(outcome(out, in, plain, false), c.left);
    EXPECT_EQ(outcome(out, in, plain, true), c.right);
    if (c.left == kWithoutCurve && c.right == kWithoutCurve) {
      EXPECT_TRUE(same_frames(out, plain));
    }
  }
}

TEST(Brightness, EveryFormatViewRadiusAndPathMatchesTheModel) {
  // 80 x 40: whole cells and cut ones at the bottom edge (and at the right
  // of subsampled chroma).
  const int32_t width = 80, height = 40;
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    uint32_t seed = 100;
    for (const FormatCase& fc : every_format()) {
      const zolta_stream stream = stream_of(fc, width, height);
      std::vector<TestFrame> frames;
      for (int k = 0; k < 3; ++k) frames.push_back(make_frame(stream, 0, false, seed++));
      zolta_settings s = random_settings(seed++, 300);
      std::mt19937 rng(seed++);
      for (auto& plane : s.brightness_gains) {
        for (uint16_t& g : plane) g = static_cast<uint16_t>(rng() % 3000);
      }
      s.view = static_cast<int32_t>(rng() % 3);
      s.show_plane = static_cast<int32_t>(rng() % 2);
      for (int p = 0; p < 3; ++p) s.temporal_thresholds[p] = 200 + 100 * p;
      s.temporal_restore[0] = 128;
      const ref::Format f{stream.family, stream.sample == ZOLTA_SAMPLE_FLOAT, stream.bits, width,
                          height};
      for (int32_t radius : {0, 1}) {
        SCOPED_TRACE(std::string(simd_path_name(path)) + " " + format_name(fc) + " radius " +
                     std::to_string(radius) + " view " + std::to_string(s.view));
        // Two threads for one frame: the bands read the same gains.
        Denoiser d(stream, s, 1, radius, 2);
        const TestFrame out = make_frame(stream, 0, false, 0);
        const TestFrame model = make_frame(stream, 0, false, 0);
        zolta_error error{};
        if (radius == 0) {
          ASSERT_EQ(d.process(frames[1], out, &error), ZOLTA_OK) << error.message;
          ref::process_format(f, frames[1].ref(), model.ref(), model_settings(s));
        } else {
          ASSERT_EQ(d.process_window({&frames[0], &frames[1], &frames[2]}, out, &error), ZOLTA_OK)
              << error.message;
          ref::process_window_format(f, {frames[0].ref(), frames[1].ref(), frames[2].ref()},
                                     model.ref(), model_settings(s));
        }
        EXPECT_TRUE(same_frames(out, model));
      }
    }
  }
}
