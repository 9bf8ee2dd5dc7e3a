// SPDX-License-Identifier: BSD-2-Clause
// RGB planes interleaved in one picture (RGBA, BGRA, RGB without alpha) are
// converted a run of pixels at a time: rows shorter and longer than a run
// and ending inside one, both channel orders, pixel steps with and without
// a fourth sample, 8 and 16 bits, give the planar frame's bytes and leave
// the samples between the channels alone.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "api_support.h"

namespace {

struct Layout {
  const char* name;
  int32_t offset[3];  // sample offsets of R, G, B in a pixel
  int32_t pixel;      // samples a pixel
};

constexpr Layout kLayouts[] = {
    {"RGBA", {0, 1, 2}, 4}, {"BGRA", {2, 1, 0}, 4}, {"RGB", {0, 1, 2}, 3}, {"ARGB", {1, 2, 3}, 4}};
// Around the run of 128 pixels.
constexpr int32_t kWidths[] = {4, 124, 128, 132, 264};

TEST(InterleavedRuns, EveryOrderStepAndWidthGivesThePlanarBytes) {
  for (const int32_t bits : {8, 16}) {
    for (const Layout& lay : kLayouts) {
      for (const int32_t width : kWidths) {
        for (const int32_t view : {ZOLTA_VIEW_NORMAL, ZOLTA_VIEW_HIGH}) {
          SCOPED_TRACE(std::string(lay.name) + " " + std::to_string(bits) + "-bit, width " +
                       std::to_string(width) + ", view " + std::to_string(view));
          const zolta_stream s = stream_of({ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, bits}, width, 8);
          zolta_settings settings = random_settings(5, 300);
          settings.view = view;
          Denoiser d(s, settings);
          const TestFrame in = make_frame(s, 0, false, 19);
          const TestFrame want = make_frame(s, 0, false, 0);
          ASSERT_EQ(d.process(in, want), ZOLTA_OK);
          const size_t sample = bits > 8 ? 2 : 1;
          const size_t pixel = lay.pixel * sample;
          std::vector<uint8_t> picture(static_cast<size_t>(width) * 8 * pixel, 0x6b);
          zolta_frame f{};
          for (int p = 0; p < 3; ++p) {
            f.data[p] = picture.data() + lay.offset[p] * sample;
            f.stride[p] = static_cast<ptrdiff_t>(width * pixel);
            f.step[p] = static_cast<ptrdiff_t>(pixel);
            for (int32_t r = 0; r < 8; ++r) {
              for (int32_t x = 0; x < width; ++x) {
                std::memcpy(static_cast<uint8_t*>(f.data[p]) + r * f.stride[p] + x * pixel,
                            static_cast<const uint8_t*>(in.frame.data[p]) +
                                r * in.frame.stride[p] + x * sample,
                            sample);
              }
            }
          }
          zolta_error error{};
          ASSERT_EQ(zolta_denoiser_process(d.d, &f, &f, &error), ZOLTA_OK) << error.message;
          size_t wrong = 0, touched = 0;
          for (size_t at = 0; at < picture.size(); at += pixel) {
            std::vector<bool> channel(lay.pixel, false);
            for (int p = 0; p < 3; ++p) {
              channel[lay.offset[p]] = true;
              const size_t i = at / pixel;
              const uint8_t* w = static_cast<const uint8_t*>(want.frame.data[p]) +
                                 (i / width) * want.frame.stride[p] + (i % width) * sample;
              wrong += std::memcmp(&picture[at + lay.offset[p] * sample], w, sample) != 0;
            }
            for (int32_t k = 0; k < lay.pixel; ++k) {
              for (size_t b = 0; b < sample && !channel[k]; ++b)
                touched += picture[at + k * sample + b] != 0x6b;
            }
          }
          EXPECT_EQ(wrong, 0u);
          EXPECT_EQ(touched, 0u);
        }
      }
    }
  }
}

}  // namespace
