// SPDX-License-Identifier: BSD-2-Clause
// Block matching follows what moved: in a textured plane and the same plane
// moved, the search (which follows the slope of the difference from its
// hints, so it may stop in a local dip) finds nearly every block at the
// displacement that put it there, and a poor match shows in the block's
// mean.
#include "motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int32_t kWidth = 100, kRows = 60;  // partial blocks at the right and bottom
constexpr ptrdiff_t kStride = kWidth + 12;

// A picture-like plane: waves of 12 to 40 samples in random directions,
// without the repeats that would make two displacements match equally.
std::vector<float> texture(uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  float fx[4], fy[4], phase[4];
  for (int i = 0; i < 4; ++i) {
    const float length = 12.0f + 28.0f * unit(rng), angle = 6.2831853f * unit(rng);
    fx[i] = 6.2831853f * std::cos(angle) / length;
    fy[i] = 6.2831853f * std::sin(angle) / length;
    phase[i] = 6.2831853f * unit(rng);
  }
  std::vector<float> plane(size_t(kStride) * kRows, 0.0f);
  for (int32_t r = 0; r < kRows; ++r) {
    for (int32_t x = 0; x < kWidth; ++x) {
      float v = 128.0f;
      for (int i = 0; i < 4; ++i) v += 30.0f * std::sin(fx[i] * x + fy[i] * r + phase[i]);
      plane[size_t(r) * kStride + x] = v;
    }
  }
  return plane;
}

// The neighbour shows at (x + dx, y + dy) what the centre shows at (x, y);
// outside the centre's picture, other texture.
std::vector<float> moved_by(const std::vector<float>& centre, int32_t dx, int32_t dy) {
  std::vector<float> plane = texture(99);
  for (int32_t r = 0; r < kRows; ++r) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const int32_t from_r = r - dy, from_x = x - dx;
      if (from_r >= 0 && from_r < kRows && from_x >= 0 && from_x < kWidth) {
        plane[size_t(r) * kStride + x] = centre[size_t(from_r) * kStride + from_x];
      }
    }
  }
  return plane;
}

std::vector<zolta::BlockMatch> match_all(const std::vector<float>& c, const std::vector<float>& n,
                                         float good_enough) {
  const int32_t across = zolta::blocks_along(kWidth), down = zolta::blocks_along(kRows);
  std::vector<zolta::BlockMatch> matches(size_t(across) * down);
  for (int32_t by = 0; by < down; ++by) {
    zolta::match_block_row(c.data(), n.data(), kStride, kWidth, kRows, by, good_enough,
                           matches.data());
  }
  return matches;
}

TEST(BlockMatching, EveryBlockThatStaysInsideIsFoundWhereItMoved) {
  const std::vector<float> centre = texture(7);
  for (const auto& motion :
       {std::pair<int32_t, int32_t>{0, 0}, {2, 1}, {-3, 2}, {5, -4}, {-1, -6}, {9, 0}}) {
    const int32_t dx = motion.first, dy = motion.second;
    SCOPED_TRACE(std::to_string(dx) + ", " + std::to_string(dy));
    const std::vector<zolta::BlockMatch> found = match_all(centre, moved_by(centre, dx, dy), 0.0f);
    const int32_t across = zolta::blocks_along(kWidth);
    int32_t inside = 0, exact = 0;
    for (size_t b = 0; b < found.size(); ++b) {
      const int32_t x0 = int32_t(b % across) * 8, y0 = int32_t(b / across) * 8;
      const int32_t bw = std::min(8, kWidth - x0), bh = std::min(8, kRows - y0);
      if (x0 + dx < 0 || x0 + dx + bw > kWidth || y0 + dy < 0 || y0 + dy + bh > kRows) continue;
      ++inside;
      const bool there = found[b].dx == dx && found[b].dy == dy;
      exact += there;
      if (there) {
        EXPECT_EQ(found[b].mean, 0.0f) << "block " << b;
      }
    }
    EXPECT_GT(inside, int32_t(found.size()) / 2);
    EXPECT_GE(exact, inside * 4 / 5);
  }
}

TEST(BlockMatching, GoodEnoughEndsTheSearchUnlessFarBelowTheBoundAndAPoorMatchShowsInTheMean) {
  const std::vector<float> centre = texture(8);
  std::vector<float> noisy = moved_by(centre, 3, 2);
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 4.0f);
  for (float& v : noisy) v += noise(rng);
  const int32_t across = zolta::blocks_along(kWidth);
  const size_t interior = size_t(across) * 3 + 5;
  // At (0, 0) the first two blocks differ by about 38 and 19 a sample, at
  // the motion by about 3 (the noise).
  struct Case {
    float good_enough;
    int32_t dx, dy;  // where the first two blocks are found
    const char* why;
  };
  const Case cases[] = {
      {60.0f, 0, 0, "(0, 0) good enough ends the search, and the next block takes it on"},
      {1000.0f, 3, 2, "everything far below the bound, as on a picture cleaner than the settings"},
      {0.0f, 3, 2, "nothing good enough"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::vector<zolta::BlockMatch> found = match_all(centre, noisy, c.good_enough);
    for (size_t b = 0; b < 2; ++b) {
      EXPECT_EQ(found[b].dx, c.dx) << "block " << b;
      EXPECT_EQ(found[b].dy, c.dy) << "block " << b;
    }
    if (c.dx == 0) continue;
    // Searched to a least, the interior blocks find the motion too, with
    // the noise's mean absolute difference (about 0.8 sigma), far below
    // that of unrelated texture.
    EXPECT_EQ(found[interior].dx, 3);
    EXPECT_EQ(found[interior].dy, 2);
    EXPECT_NEAR(found[interior].mean, 0.8f * 4.0f, 1.0f);
    const std::vector<zolta::BlockMatch> unrelated = match_all(centre, texture(123), c.good_enough);
    EXPECT_GT(unrelated[interior].mean, 2.0f * found[interior].mean);
  }
}

}  // namespace
