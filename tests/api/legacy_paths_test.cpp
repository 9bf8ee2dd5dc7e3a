// SPDX-License-Identifier: BSD-2-Clause
// The new formats against the two legacy paths: 8-bit 4:2:2 planar gives the
// YUY2 path's bytes plane for plane; 8-bit planar RGB and packed 24-bit RGB
// give the 32-bit RGB path's bytes in every view; the packed families through
// the public interface give the legacy bytes themselves.
#include <gtest/gtest.h>

#include <cstring>

#include "api_support.h"
#include "test_support.h"

namespace {

constexpr int32_t kWidth = 48;
constexpr int32_t kHeight = 24;

const View kEveryView[] = {
    {zolta::Normal, 0, 0, 1}, {zolta::High, 0, 0, 1},   {zolta::High, 0, 2, 1},
    {zolta::Diff, 0, 0, 1},   {zolta::Normal, 1, 1, 1}, {zolta::Diff, 1, 2, 1},
    {zolta::Normal, 0, 0, 0},
};

zolta_settings api_settings(const ref::Settings& m) {
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) s.thresholds[p][d][l] = m.thresholds[p][d + 2 * l];
    }
  }
  s.view = m.mode;
  s.show_plane = m.show_plane;
  s.plane = m.plane;
  s.enabled = m.enabled;
  return s;
}

ref::Settings legacy_settings(uint32_t seed) {
  return model_settings(random_settings(seed, 255));
}

uint8_t* at(const TestFrame& f, int p, int32_t r) {
  return static_cast<uint8_t*>(f.frame.data[p]) + r * f.frame.stride[p];
}

TEST(LegacyPaths, Planar422AndYuy2GiveTheYuy2PathsBytes) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    const std::vector<uint32_t> words = random_words(size_t(kWidth / 2) * kHeight, seed);
    const ref::Settings settings = legacy_settings(seed + 100);
    Instance legacy(kWidth, kHeight, true);
    legacy.apply(settings);
    std::vector<uint8_t> expected(size_t(kWidth) * 2 * kHeight);
    legacy.run(words.data(), kWidth / 2, expected.data());

    // The same samples as three planes.
    const zolta_stream planar =
        stream_of({ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
    TestFrame in = make_frame(planar, 0, false, 0);
    for (int32_t r = 0; r < kHeight; ++r) {
      const uint8_t* g = reinterpret_cast<const uint8_t*>(&words[size_t(r) * (kWidth / 2)]);
      for (int32_t k = 0; k < kWidth / 2; ++k) {
        at(in, 0, r)[2 * k] = g[4 * k];
        at(in, 1, r)[k] = g[4 * k + 1];
        at(in, 0, r)[2 * k + 1] = g[4 * k + 2];
        at(in, 2, r)[k] = g[4 * k + 3];
      }
    }
    TestFrame out = make_frame(planar, 0, false, 0);
    Denoiser d(planar, api_settings(settings));
    ASSERT_EQ(d.process(in, out), ZOLTA_OK);
    for (int32_t r = 0; r < kHeight; ++r) {
      const uint8_t* e = &expected[size_t(r) * kWidth * 2];
      for (int32_t k = 0; k < kWidth / 2; ++k) {
        ASSERT_EQ(at(out, 0, r)[2 * k], e[4 * k]) << "row " << r << " pair " << k;
        ASSERT_EQ(at(out, 1, r)[k], e[4 * k + 1]) << "row " << r << " pair " << k;
        ASSERT_EQ(at(out, 0, r)[2 * k + 1], e[4 * k + 2]) << "row " << r << " pair " << k;
        ASSERT_EQ(at(out, 2, r)[k], e[4 * k + 3]) << "row " << r << " pair " << k;
      }
    }

    const zolta_stream packed =
        stream_of({ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
    TestFrame yuy2 = make_frame(packed, 0, false, 0);
    std::memcpy(yuy2.frame.data[0], words.data(), expected.size());
    Denoiser dp(packed, api_settings(settings));
    ASSERT_EQ(dp.process(yuy2, yuy2), ZOLTA_OK);
    EXPECT_EQ(std::memcmp(yuy2.frame.data[0], expected.data(), expected.size()), 0);
  }
}

TEST(LegacyPaths, PlanarRgbRgb24AndRgb32GiveTheRgb32PathsBytesInEveryView) {
  uint32_t seed = 10;
  for (const View& view : kEveryView) {
    SCOPED_TRACE(testing::Message() << "mode " << view.mode << " show " << view.show_plane
                                    << " plane " << view.plane << " on " << view.enabled);
    const std::vector<uint32_t> words = random_words(size_t(kWidth) * kHeight, seed++);
    const ref::Settings settings = with_view(legacy_settings(seed++), view);
    Instance legacy(kWidth, kHeight, false);
    legacy.apply(settings);
    std::vector<uint32_t> expected(size_t(kWidth) * kHeight);
    legacy.run(words.data(), kWidth, expected.data());
    auto channel = [](uint32_t w, int c) {  // R, G, B
      return static_cast<uint8_t>(w >> (16 - 8 * c));
    };

    const zolta_stream planar =
        stream_of({ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
    const zolta_stream rgb24 =
        stream_of({ZOLTA_FAMILY_RGB24, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
    TestFrame p_in = make_frame(planar, 0, false, 0);
    TestFrame t_in = make_frame(rgb24, 0, false, 0);
    for (int32_t r = 0; r < kHeight; ++r) {
      for (int32_t x = 0; x < kWidth; ++x) {
        for (int c = 0; c < 3; ++c) {
          at(p_in, c, r)[x] = channel(words[size_t(r) * kWidth + x], c);
          at(t_in, 0, r)[3 * x + c] = channel(words[size_t(r) * kWidth + x], c);
        }
      }
    }
    TestFrame p_out = make_frame(planar, 0, false, 0);
    TestFrame t_out = make_frame(rgb24, 0, false, 0);
    Denoiser dp(planar, api_settings(settings));
    Denoiser dt(rgb24, api_settings(settings));
    ASSERT_EQ(dp.process(p_in, p_out), ZOLTA_OK);
    ASSERT_EQ(dt.process(t_in, t_out), ZOLTA_OK);
    for (int32_t r = 0; r < kHeight; ++r) {
      for (int32_t x = 0; x < kWidth; ++x) {
        for (int c = 0; c < 3; ++c) {
          const uint8_t e = channel(expected[size_t(r) * kWidth + x], c);
          ASSERT_EQ(at(p_out, c, r)[x], e) << "planar row " << r << " x " << x << " c " << c;
          ASSERT_EQ(at(t_out, 0, r)[3 * x + c], e) << "rgb24 row " << r << " x " << x;
        }
      }
    }

    const zolta_stream rgb32 =
        stream_of({ZOLTA_FAMILY_RGB32, ZOLTA_SAMPLE_INTEGER, 8}, kWidth, kHeight);
    TestFrame w_in = make_frame(rgb32, 0, false, 0);
    std::memcpy(w_in.frame.data[0], words.data(), words.size() * 4);
    TestFrame w_out = make_frame(rgb32, 0, false, 0);
    Denoiser dw(rgb32, api_settings(settings));
    ASSERT_EQ(dw.process(w_in, w_out), ZOLTA_OK);
    EXPECT_EQ(std::memcmp(w_out.frame.data[0], expected.data(), words.size() * 4), 0);
  }
}

}  // namespace
