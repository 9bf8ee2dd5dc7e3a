// SPDX-License-Identifier: BSD-2-Clause
// The noise estimate across frames on clips cut from the bundled textured
// photograph: where one frame reads the photograph's fine texture as noise,
// frames that repeat it (held still, or panning by a few pixels a frame) read
// the noise that was added; repeated frames and motion beyond the search do
// not pull the estimate away from the noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clip_frames.h"
#include "clips.h"

namespace {

constexpr int kWidth = 256, kHeight = 192, kFrames = 8;

Clip noisy_clip(int dx, int dy, double sigma) {
  Picture picture;
  std::string error;
  Clip clean;
  EXPECT_TRUE(read_photo(std::string(ZOLTA_DATA_DIR) + "/coffee.png", picture, error)) << error;
  EXPECT_TRUE(make_clip(picture, kWidth, kHeight, kFrames, dx, dy, clean, error)) << error;
  return add_noise(clean, sigma, 2026);
}

using Frames = ClipFrames;

// The clip's frames as the library takes them; frame n given `repeat` times.
Frames frames_of(Clip& clip, int repeat = 1) {
  return clip_frames(clip, kWidth, kHeight, repeat);
}

void across_frames(const Frames& f, float sigma[3]) {
  zolta_error error{};
  ASSERT_EQ(zolta_noise_estimate_frames(&f.stream, f.pointers.data(),
                                        static_cast<int32_t>(f.pointers.size()), sigma, &error),
            ZOLTA_OK)
      << error.message;
}

// The median over the frames of the one-frame estimate of luma.
float one_frame_luma(const Frames& f) {
  std::vector<float> luma;
  for (const zolta_frame* frame : f.pointers) {
    float sigma[3];
    EXPECT_EQ(zolta_noise_estimate(&f.stream, frame, sigma, nullptr), ZOLTA_OK);
    luma.push_back(sigma[0]);
  }
  std::nth_element(luma.begin(), luma.begin() + luma.size() / 2, luma.end());
  return luma[luma.size() / 2];
}

TEST(NoiseAcrossFrames, TexturedClipsStillOrPanningReadTheAddedNoise) {
  struct Motion {
    int dx, dy;
  };
  for (double sigma : {2.0, 5.0}) {
    for (Motion m : {Motion{0, 0}, Motion{2, 1}, Motion{-3, 4}}) {
      SCOPED_TRACE(testing::Message()
                   << "sigma " << sigma << ", " << m.dx << ", " << m.dy << " px a frame");
      Clip clip = noisy_clip(m.dx, m.dy, sigma);
      const Frames f = frames_of(clip);
      float sigma_found[3];
      across_frames(f, sigma_found);
      // Within 5 % (rounding to 8 bits adds 1/12 to the variance); the
      // photograph's texture puts one frame's reading 25 % or more above.
      EXPECT_NEAR(sigma_found[0], sigma, 0.05 * sigma);
      EXPECT_GT(one_frame_luma(f), 1.25 * sigma);
      // Chroma is smooth in the photograph; a pan of an odd number of rows
      // moves it by half a sample, which no whole displacement follows.
      EXPECT_NEAR(sigma_found[1], sigma, 0.2 * sigma);
      EXPECT_NEAR(sigma_found[2], sigma, 0.2 * sigma);
    }
  }
}

TEST(NoiseAcrossFrames, RepeatedFramesAndMotionBeyondTheSearchKeepAnHonestReading) {
  // Every frame given twice, as a stream that doubles its frame rate does:
  // the pairs of equal frames tell nothing and are left out.
  Clip still = noisy_clip(0, 0, 5.0);
  float once[3], twice[3];
  across_frames(frames_of(still), once);
  across_frames(frames_of(still, 2), twice);
  for (int p = 0; p < 3; ++p) EXPECT_NEAR(twice[p], once[p], 0.05f) << p;
  EXPECT_NEAR(twice[0], 5.0f, 0.25f);
  // Only one frame, given eight times: nothing is found again, so the
  // one-frame estimate stands.
  Clip single = still;
  single.frames.resize(1);
  const Frames repeated = frames_of(single, kFrames);
  float alone[3];
  across_frames(repeated, alone);
  EXPECT_EQ(alone[0], one_frame_luma(repeated));

  // Twelve pixels a frame: beyond the search, blocks are not found again
  // and the one-frame estimate stands.
  Clip fast = noisy_clip(12, 0, 5.0);
  const Frames f = frames_of(fast);
  float sigma[3];
  across_frames(f, sigma);
  EXPECT_EQ(sigma[0], one_frame_luma(f));
}

}  // namespace
