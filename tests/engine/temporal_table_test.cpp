// SPDX-License-Identifier: BSD-2-Clause
// The temporal settings of the noise table on clips cut from the bundled
// photographs (40 frames, as the table was measured; shorter clips have more
// of the one-sided windows at their ends): where the picture holds still the
// frames take out much more noise, and where it pans the motion is followed
// and the frames still take out more.
#include <gtest/gtest.h>

#include <string>

#include "clips.h"

namespace {

struct Clips {
  Clip clean, noisy;
};

Clips clips_of(const char* photo, int dx, int dy, double sigma) {
  Picture picture;
  std::string error;
  Clips c;
  EXPECT_TRUE(read_photo(std::string(ZOLTA_DATA_DIR) + "/" + photo, picture, error)) << error;
  EXPECT_TRUE(make_clip(picture, 192, 128, 40, dx, dy, c.clean, error)) << error;
  c.noisy = add_noise(c.clean, sigma, 77);
  return c;
}

double psnr_at(const Clips& c, double sigma, int radius) {
  const float s[3] = {static_cast<float>(sigma), static_cast<float>(sigma),
                      static_cast<float>(sigma)};
  zolta_settings settings;
  EXPECT_EQ(zolta_settings_for_noise(s, ZOLTA_FAMILY_YUV420, &settings, nullptr), ZOLTA_OK);
  Clip out;
  std::string error;
  EXPECT_TRUE(denoise_clip(c.noisy, settings, radius, out, error)) << error;
  return clip_psnr(c.clean, out);
}

TEST(TemporalTable, StillAndPanningClipsGain) {
  for (const char* photo : {"astronaut.png", "coffee.png"}) {
    for (double sigma : {5.0, 20.0}) {
      SCOPED_TRACE(std::string(photo) + " sigma " + std::to_string(sigma));
      const Clips still = clips_of(photo, 0, 0, sigma);
      const double alone = psnr_at(still, sigma, 0);
      EXPECT_GT(psnr_at(still, sigma, 1), alone + 1.5);
      EXPECT_GT(psnr_at(still, sigma, 2), alone + 2.5);
      const Clips pan = clips_of(photo, 2, 1, sigma);
      const double pan_alone = psnr_at(pan, sigma, 0);
      EXPECT_GT(psnr_at(pan, sigma, 1), pan_alone + 0.5);
      EXPECT_GT(psnr_at(pan, sigma, 2), pan_alone + 0.5);
    }
  }
}

}  // namespace
