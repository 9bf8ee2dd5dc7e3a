// SPDX-License-Identifier: BSD-2-Clause
// The level plan and what the denoiser does to the planes.
#include "denoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "filter_bank.h"
#include "legacy_conversions.h"
#include "legacy_planes.h"
#include "test_support.h"

using namespace zolta;

namespace {

void fill_random_planes(Instance& inst, uint32_t seed) {
  const int32_t w = inst.state.width, h = inst.state.height;
  const std::vector<uint32_t> src = random_words(size_t(w) * h, seed);
  inst.state.src = const_cast<uint32_t*>(src.data());
  inst.state.src_pitch = inst.state.yuy2 ? w / 2 : w;
  inst.state.proc_width = w;
  inst.state.proc_height = h;
  if (inst.state.yuy2) {
    yuy2_to_planes(inst.state);
  } else {
    rgb32_to_planes(inst.state);
  }
  inst.state.src = nullptr;
  set_daubechies(inst.state, 2);
}

}  // namespace

TEST(LevelPlan, StagesFollowTheSettings) {
  FilterState s{};
  s.thresholds[0][2] = 16;   // Y: X1 only
  s.thresholds[0][1] = -16;  // Y: Y0
  s.thresholds[1][4] = 8;    // Cb: X2
  s.thresholds[2][0] = 1;    // Cr: X0, X1, X2, Y2
  s.thresholds[2][2] = 255;
  s.thresholds[2][4] = 300;
  s.thresholds[2][5] = 2;
  for (int32_t yuy2 : {0, 1}) {
    s.yuy2 = yuy2;
    const LevelPlan plan = level_plan(s);
    const LevelChain& yx = plan.chains[0][0];
    ASSERT_EQ(yx.count, 1);
    EXPECT_EQ(yx.stages[0].exponent, 1);
    EXPECT_EQ(yx.stages[0].threshold, 1.0f);
    ASSERT_EQ(plan.chains[0][1].count, 1);
    EXPECT_EQ(plan.chains[0][1].stages[0].exponent, 0);
    EXPECT_EQ(plan.chains[0][1].stages[0].threshold, -1.0f);
    // Full-width chroma steps twice as far along rows.
    const LevelChain& cbx = plan.chains[1][0];
    ASSERT_EQ(cbx.count, 1);
    EXPECT_EQ(cbx.stages[0].exponent, yuy2 ? 2 : 3);
    EXPECT_EQ(cbx.stages[0].threshold, 0.5f);
    EXPECT_EQ(plan.chains[1][1].count, 0);
    const LevelChain& crx = plan.chains[2][0];
    ASSERT_EQ(crx.count, 3);
    for (int l = 0; l < 3; ++l) EXPECT_EQ(crx.stages[l].exponent, l + (yuy2 ? 0 : 1));
    EXPECT_EQ(crx.stages[0].threshold, 0.0625f);
    EXPECT_EQ(crx.stages[1].threshold, 15.9375f);
    EXPECT_EQ(crx.stages[2].threshold, 18.75f);
    ASSERT_EQ(plan.chains[2][1].count, 1);
    EXPECT_EQ(plan.chains[2][1].stages[0].exponent, 2);  // columns never double
    EXPECT_EQ(plan.chains[2][1].stages[0].threshold, 0.125f);
  }
}

TEST(DenoisePlanes, TouchesOnlyWhatTheSettingsSwitchOn) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (bool yuy2 : {false, true}) {
      for (int32_t mode : {Normal, High, Diff}) {
        Instance inst(32, 16, yuy2);
        fill_random_planes(inst, 5);
        inst.state.mode = mode;
        const ref::Planes before = engine_planes(inst.state);
        denoise_planes(inst.state);  // nothing on: bit for bit unchanged
        EXPECT_TRUE(same_planes(inst.state, before));

        inst.state.thresholds[0][0] = 30;  // only the Y plane's X0
        denoise_planes(inst.state);
        EXPECT_TRUE(same_plane(inst.state, before, 1));
        EXPECT_TRUE(same_plane(inst.state, before, 2));
        EXPECT_FALSE(same_plane(inst.state, before, 0));
      }
    }
  }
}

// In High mode each plane ends as its amplified detail: zero for a constant
// plane, and the rule is applied once, after the last pass over the plane.
TEST(DenoisePlanes, HighModeLeavesAmplifiedDetail) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(32, 16, false);
    fill_random_planes(inst, 8);
    const size_t stride = 32 + 256;
    for (int32_t r = 0; r < 16; ++r) {
      for (int32_t x = 0; x < 32; ++x) inst.state.plane_cr[r * stride + x] = 90.0f;
    }
    inst.state.mode = High;
    for (int p = 0; p < 3; ++p) {
      inst.state.thresholds[p][0] = 20;
      inst.state.thresholds[p][2] = 20;
    }
    inst.state.thresholds[0][1] = 20;  // Y plane: both directions
    denoise_planes(inst.state);
    for (int32_t r = 0; r < 16; ++r) {
      for (int32_t x = 0; x < 32; ++x)
        EXPECT_NEAR(inst.state.plane_cr[r * stride + x], 0.0f, 1e-3f);
    }
    // Detail over a random picture is centred near zero, not near the
    // picture's mean of about 128.
    double mean = 0;
    for (int32_t r = 0; r < 16; ++r) {
      for (int32_t x = 0; x < 32; ++x) mean += inst.state.plane_y[r * stride + x];
    }
    EXPECT_LT(std::fabs(mean / (16 * 32)), 20.0);
  }
}
