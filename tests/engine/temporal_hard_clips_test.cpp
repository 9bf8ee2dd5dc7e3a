// SPDX-License-Identifier: BSD-2-Clause
// Clips where the neighbour frames hold other picture than the centre's (a
// flash, a cut between two views of one photograph, a fade, motion beyond
// the search, pages of text or tiles that change every frame) or where a
// wrong match is cheap (scrolling text, a grid moving over a still
// picture, a slow pan of a clean picture under settings for much noise):
// at radius 1 and 2 no frame's luma comes out more than 0.1 dB
// worse than at radius 0, clean or with the noise the settings are for, up
// to the settings for heavy noise.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "hard_clips.h"

namespace {

Clip denoised(const Clip& clip, const zolta_settings& s, int radius) {
  Clip out;
  std::string error;
  EXPECT_TRUE(denoise_clip(clip, s, radius, out, error)) << error;
  return out;
}

// Every clip of a photograph at a size but one (`except`), or one
// (`only`), at noise levels, clean and with `draws` draws of noise.
struct HardCase {
  const char* photo;
  int width, height, frames;
  std::vector<double> sigmas;
  const char* only;
  const char* except;
  int draws;
};

const HardCase kCases[] = {
    {"astronaut.png", 192, 128, 10, {10, 20, 30, 50}, nullptr, "slow-pan", 1},
    // A fade of about 4 levels a frame at the settings for sigma 50: at the
    // clip's ends every neighbour lies on one side, brighter or darker.
    {"coffee.png", 384, 256, 20, {50}, "fade", nullptr, 1},
    // A slow pan, clean, at the settings for much noise: (0, 0) or a
    // displacement a sample off passes for good enough, and at the clip's
    // ends, where every neighbour lies on one side, it would shift the
    // picture.
    {"astronaut.png", 384, 256, 8, {30, 50}, "slow-pan", nullptr, 1},
    // A smooth picture under much noise: on the fast pan, beyond the
    // search, most blocks still match somewhere, many where the search
    // stopped at its bound; whether enough of them do to pass for the
    // centre's scene depends on the draw of the noise, hence several.
    {"coffee.png", 192, 128, 10, {50}, nullptr, "slow-pan", 1},
    {"coffee.png", 192, 128, 10, {20, 30, 50}, "fast-pan", nullptr, 4},
    {"astronaut.png", 192, 128, 10, {30}, "fast-pan", nullptr, 4},
};

TEST(TemporalHardClips, NoFrameIsWorseThanAtRadiusZero) {
  // 0.1 dB less PSNR is 10^0.01 times the squared error.
  const double worse = std::pow(10.0, 0.01);
  int seed = 5;
  for (const HardCase& hc : kCases) {
    Picture photo;
    std::string error;
    ASSERT_TRUE(read_photo(std::string(ZOLTA_DATA_DIR) + "/" + hc.photo, photo, error)) << error;
    const std::vector<NamedClip> clips = hard_clips(photo, hc.width, hc.height, hc.frames);
    for (const double sigma : hc.sigmas) {
      const float s3[3] = {float(sigma), float(sigma), float(sigma)};
      zolta_settings settings;
      ASSERT_EQ(zolta_settings_for_noise(s3, ZOLTA_FAMILY_YUV420, &settings, nullptr), ZOLTA_OK);
      for (const NamedClip& c : clips) {
        if ((hc.only && c.name != hc.only) || (hc.except && c.name == hc.except)) continue;
        for (int draw = 0; draw <= hc.draws; ++draw) {
          const bool noisy = draw > 0;
          const Clip in = noisy ? add_noise(c.clip, sigma, ++seed) : c.clip;
          const Clip alone = denoised(in, settings, 0);
          for (int radius = 1; radius <= 2; ++radius) {
            const Clip out = denoised(in, settings, radius);
            for (size_t n = 0; n < in.frames.size(); ++n) {
              const double base = frame_luma_squares(c.clip, alone, n);
              EXPECT_LE(frame_luma_squares(c.clip, out, n), base * worse)
                  << hc.photo << " " << c.name << (noisy ? " noisy" : " clean") << " draw " << draw << " sigma "
                  << sigma << " radius " << radius << " frame " << n << ": "
                  << frame_luma_psnr(c.clip, out, n) << " dB against "
                  << frame_luma_psnr(c.clip, alone, n) << " dB";
            }
          }
        }
      }
    }
  }
}

}  // namespace
