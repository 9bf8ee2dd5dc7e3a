// SPDX-License-Identifier: BSD-2-Clause
// The noise-level table (zolta_settings_for_sigma) with the noise estimate
// (zolta_noise_estimate), on the bundled photograph with Gaussian noise added
// to its R, G and B bytes as the demo adds it: the settings chosen from the
// noise measured on the noisy picture come within 0.3 dB PSNR of the best
// point of the settings grid near them, at sigma 5, 10, 15, 20 and 30. (That
// more noise never lowers a threshold is the interface tests' business.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "noise.h"
#include "picture_denoise.h"
#include "png_io.h"
#include "sigma_search.h"
#include "zolta.h"

namespace {

Picture photograph() {
  Picture picture;
  ByteReader reader;
  std::string error;
  if (open_reader(reader, ZOLTA_DATA_DIR "/astronaut.png", error)) {
    if (!starts_png(reader) || !read_png(reader, picture, error)) picture = Picture{};
    close_reader(reader);
  }
  return picture;
}

double denoised_psnr(const Picture& clean, const Picture& noisy, const zolta_settings& settings) {
  Picture out;
  std::string error;
  if (!denoise_picture(noisy, settings, out, error)) {
    ADD_FAILURE() << error;
    return 0;
  }
  return psnr(clean.samples, out.samples);
}

TEST(SigmaTable, SettingsFromTheEstimatedNoiseAreNearlyTheBestOfTheGrid) {
  const Picture clean = photograph();
  ASSERT_GT(clean.width, 0) << "data/astronaut.png could not be read";
  for (int sigma : {5, 10, 15, 20, 30}) {
    SCOPED_TRACE("sigma " + std::to_string(sigma));
    Picture noisy = clean;
    NoiseSource source = noise_source(2026);
    add_gaussian_noise(noisy.samples, sigma, source);

    const zolta_stream stream = {ZOLTA_API_VERSION,
                                 ZOLTA_FAMILY_RGB24,
                                 ZOLTA_SAMPLE_INTEGER,
                                 8,
                                 noisy.width,
                                 noisy.height,
                                 {}};
    const zolta_frame frame = {ZOLTA_API_VERSION,
                               {noisy.samples.data(), nullptr, nullptr},
                               {noisy.width * 3, 0, 0},
                               {0, 0, 0},
                               0,
                               {}};
    zolta_error error{};
    float estimate[3];
    ASSERT_EQ(zolta_noise_estimate(&stream, &frame, estimate, &error), ZOLTA_OK) << error.message;
    double truth[3];
    plane_noise(clean, noisy, truth);

    zolta_settings chosen;
    ASSERT_EQ(zolta_settings_for_sigma(estimate, ZOLTA_FAMILY_RGB24, &chosen, &error), ZOLTA_OK)
        << error.message;
    const double got = denoised_psnr(clean, noisy, chosen);
    const SearchResult best = search_grid(grid_point_for(chosen), 3, [&](const zolta_settings& s) {
      return denoised_psnr(clean, noisy, s);
    });
    const double before = psnr(clean.samples, noisy.samples);
    std::printf(
        "sigma %d: planes %.2f %.2f %.2f, estimated %.2f %.2f %.2f; PSNR %.2f -> %.2f dB,"
        " grid best %.2f dB (%s)\n",
        sigma, truth[0], truth[1], truth[2], estimate[0], estimate[1], estimate[2], before, got,
        best.score, grid_point_text(best.point).c_str());
    EXPECT_GE(got, best.score - 0.3) << "grid best: " << grid_point_text(best.point);
    EXPECT_GT(got, before + 2.0);
    if (sigma >= 30) {
      EXPECT_GT(chosen.thresholds[0][0][0], 255) << "heavy noise needs thresholds above 255";
    }
  }
}

}  // namespace
