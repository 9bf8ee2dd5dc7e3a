// Frames beyond the stack scratch: ultra-high-definition sizes denoised on
// scratch rows behind the planes, checked against the model on the planes
// that the settings switch on.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "reference.h"
#include "rgb32.h"
#include "test_support.h"
#include "yuy2.h"

namespace {

// Compares one plane of the engine with the model without copying it.
testing::AssertionResult plane_matches(const FilterState& s, const ref::Planes& model, int p) {
  const float* planes[3] = {s.plane_y, s.plane_cb, s.plane_cr};
  const int32_t n = model.width[p];
  for (int32_t r = 0; r < model.height; ++r) {
    const float* row = planes[p] + size_t(r) * (n + 256);
    for (int32_t x = 0; x < n; ++x) {
      if (std::memcmp(&row[x], &model.plane[p][size_t(r) * n + x], sizeof(float)) != 0) {
        return testing::AssertionFailure() << "plane " << p << " row " << r << " sample " << x;
      }
    }
  }
  return testing::AssertionSuccess();
}

void check_yuy2(int32_t w, int32_t h, const ref::Settings& settings, int p) {
  const std::vector<uint32_t> src = random_words(size_t(w / 2) * h, w + h);
  Instance inst(w, h, true);
  ASSERT_NE(inst.state.plane_block, nullptr);
  inst.apply(settings);
  std::vector<uint8_t> dst(size_t(w) * 2 * h);
  inst.state.src = const_cast<uint32_t*>(src.data());
  inst.state.src_pitch = w / 2;
  inst.state.dst = reinterpret_cast<uint32_t*>(dst.data());
  process_yuy2_frame(inst.state);
  const ref::Yuy2Result model = ref::process_yuy2(src.data(), w / 2, w, h, settings);
  EXPECT_TRUE(plane_matches(inst.state, model.planes, p));
  EXPECT_TRUE(same_bytes(dst.data(), model.out));
}

}  // namespace

TEST(LargeFrames, UltraHighDefinitionFramesMatchTheModel) {
  const SimdPath widest = available_paths().back();
  PathScope scope(widest);
  {  // 3840 x 2160, RGB32, two levels each way on Cb (steps 4 and 8 along rows).
    const int32_t w = 3840, h = 2160;
    const std::vector<uint32_t> src = random_words(size_t(w) * h, 1);
    ref::Settings s;
    s.thresholds[1][2] = 24;
    s.thresholds[1][4] = 40;
    s.thresholds[1][1] = 16;
    s.thresholds[1][3] = -8;
    Instance inst(w, h, false);
    ASSERT_NE(inst.state.plane_block, nullptr);
    inst.apply(s);
    std::vector<uint32_t> dst(size_t(w) * h);
    inst.state.src = const_cast<uint32_t*>(src.data());
    inst.state.src_pitch = w;
    inst.state.dst = dst.data();
    process_rgb32_frame(inst.state);
    const ref::Rgb32Result model = ref::process_rgb32(src.data(), w, w, h, s);
    EXPECT_TRUE(plane_matches(inst.state, model.planes, 1));
    EXPECT_TRUE(same_bytes(dst.data(), model.out));
  }
  {  // 4096 x 2160, YUY2, luma along rows and columns.
    ref::Settings s;
    s.thresholds[0][0] = 40;
    s.thresholds[0][5] = 40;
    check_yuy2(4096, 2160, s, 0);
  }
  {  // 7680 x 4320, YUY2: columns of 4320 samples, one level on Cr.
    ref::Settings s;
    s.thresholds[2][1] = 40;
    check_yuy2(7680, 4320, s, 2);
  }
}
