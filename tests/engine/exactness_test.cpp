// SPDX-License-Identifier: BSD-2-Clause
// The engine against the scalar model: every plane sample and every output
// byte must be identical, on every path this processor runs.
#include <gtest/gtest.h>

#include <random>

#include "reference.h"
#include "test_support.h"

using namespace zolta;

namespace {

// Settings with every level on, mixing ordinary thresholds with negative ones
// and ones above 255.
ref::Settings all_levels_on(uint32_t seed) {
  static const int32_t kValues[] = {-40, -16, -1, 1, 5, 16, 23, 40, 100, 255, 300, 4000};
  std::mt19937 rng(seed);
  ref::Settings s;
  for (auto& plane : s.thresholds) {
    for (auto& v : plane) v = kValues[rng() % (sizeof kValues / sizeof kValues[0])];
  }
  return s;
}

// Settings where each level is off with some probability, so that chains of
// every length and gaps in the levels occur.
ref::Settings some_levels_on(uint32_t seed) {
  ref::Settings s = all_levels_on(seed);
  std::mt19937 rng(seed * 7 + 1);
  for (auto& plane : s.thresholds) {
    for (auto& v : plane) {
      if (rng() % 3 == 0) v = 0;
    }
  }
  return s;
}

const View kRgb32Views[] = {
    {Normal, 0, 0, 1}, {Normal, 1, 0, 1}, {Normal, 1, 1, 1}, {Normal, 1, 2, 1}, {High, 0, 0, 1},
    {High, 1, 1, 1},   {High, 0, 2, 1},   {Diff, 0, 0, 1},   {Diff, 1, 2, 1},   {Diff, 0, 0, 0},
};

struct Size {
  int32_t width, height, pad;  // pad: extra source words per row
};

}  // namespace

TEST(Exactness, Rgb32FramesMatchTheModelInEveryModeAndView) {
  const Size sizes[] = {{8, 8, 0}, {16, 8, 3}, {8, 24, 0}, {40, 16, 1}, {72, 56, 0}};
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    uint32_t seed = 1;
    for (const Size& size : sizes) {
      const int32_t pitch = size.width + size.pad;
      const std::vector<uint32_t> src = random_words(size_t(pitch) * size.height, seed);
      for (const View& view : kRgb32Views) {
        for (int variant = 0; variant < 2; ++variant) {
          const ref::Settings s =
              with_view(variant == 0 ? all_levels_on(seed) : some_levels_on(seed), view);
          SCOPED_TRACE(testing::Message()
                       << simd_path_name(path) << " " << size.width << "x" << size.height
                       << " mode " << view.mode << " view " << view.show_plane << "/" << view.plane
                       << " seed " << seed);
          expect_frame_matches_model(src, pitch, size.width, size.height, s, false);
          ++seed;
        }
      }
    }
  }
}

TEST(Exactness, Yuy2FramesMatchTheModelInEveryMode) {
  const Size sizes[] = {{8, 8, 0}, {16, 8, 2}, {24, 40, 0}, {72, 56, 1}, {136, 24, 0}};
  const int32_t modes[] = {Normal, High, Diff};
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    uint32_t seed = 100;
    for (const Size& size : sizes) {
      const int32_t pitch = size.width / 2 + size.pad;
      const std::vector<uint32_t> src = random_words(size_t(pitch) * size.height, seed);
      for (int32_t mode : modes) {
        for (int variant = 0; variant < 3; ++variant) {
          ref::Settings s = variant == 0 ? all_levels_on(seed) : some_levels_on(seed);
          s.mode = mode;
          SCOPED_TRACE(testing::Message() << simd_path_name(path) << " " << size.width << "x"
                                          << size.height << " mode " << mode << " seed " << seed);
          expect_frame_matches_model(src, pitch, size.width, size.height, s, true);
          ++seed;
        }
      }
    }
  }
}

TEST(Exactness, ThePhotographMatchesTheModelInBothFormats) {
  int32_t width = 0, height = 0;
  const std::vector<uint32_t> photo = load_photograph(&width, &height);
  ASSERT_FALSE(photo.empty()) << "data/astronaut.png could not be read";
  ASSERT_EQ(width % 8, 0);
  ASSERT_EQ(height % 8, 0);
  const std::vector<uint32_t> yuy2 = yuy2_from_rgb32(photo, width, height);
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (int32_t mode : {Normal, High, Diff}) {
      SCOPED_TRACE(testing::Message() << simd_path_name(path) << " mode " << mode);
      ref::Settings s = all_levels_on(7 + mode);
      s.mode = mode;
      s.plane = mode;
      expect_frame_matches_model(photo, width, width, height, s, false);
      expect_frame_matches_model(yuy2, width / 2, width, height, s, true);
    }
  }
}

// Lines longer than the stack scratch holds use rows behind the planes.
TEST(Exactness, LinesLongerThanTheStackScratchMatchTheModel) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    SCOPED_TRACE(simd_path_name(path));
    ref::Settings s = all_levels_on(31);
    s.mode = High;
    const std::vector<uint32_t> tall = random_words(size_t(16) * 3232, 5);
    expect_frame_matches_model(tall, 16, 16, 3232, s, false);
    const std::vector<uint32_t> wide = random_words(size_t(3240) * 8, 6);
    expect_frame_matches_model(wide, 3240 / 2, 3240, 8, some_levels_on(32), true);
    // Exactly the longest line the stack scratch takes.
    const std::vector<uint32_t> edge = random_words(size_t(3224) * 8, 8);
    expect_frame_matches_model(edge, 3224, 3224, 8, all_levels_on(33), false);
  }
}
