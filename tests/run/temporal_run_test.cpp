// SPDX-License-Identifier: BSD-2-Clause
// zolta-run --temporal: windows of frames over the stream, the same bytes for
// every number of threads, mirrored at the stream's ends and at every change
// of picture size, as the library makes them.
#include <string>
#include <vector>

#include "run_fixture.h"
#include "zolta.h"

namespace {

constexpr int kWidth = 64, kHeight = 32, kFrames = 7;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;

// A still picture with new noise in every frame, so that the temporal step
// has noise to take out.
std::vector<std::vector<uint8_t>> still_noisy_frames(uint64_t seed) {
  std::vector<uint8_t> base(kFrameBytes);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) base[y * kWidth + x] = static_cast<uint8_t>(40 + 2 * x + y);
  for (size_t i = kWidth * kHeight; i < kFrameBytes; ++i)
    base[i] = static_cast<uint8_t>(100 + i % 7);
  std::vector<std::vector<uint8_t>> frames;
  NoiseSource noise = noise_source(seed);
  for (int n = 0; n < kFrames; ++n) {
    frames.push_back(base);
    add_gaussian_noise(frames.back(), 8.0, noise);
  }
  return frames;
}

std::string y4m_of(const std::vector<std::vector<uint8_t>>& frames) {
  std::string s = "YUV4MPEG2 W64 H32 F25:1 Ip A1:1 C420jpeg\n";
  for (size_t n = 0; n < frames.size(); ++n) {
    s += n == 2 ? "FRAME XNOTE=kept\n" : "FRAME\n";
    s.append(frames[n].begin(), frames[n].end());
  }
  return s;
}

zolta_frame frame_of(const uint8_t* data) {
  zolta_frame f{};
  uint8_t* y = const_cast<uint8_t*>(data);
  f.data[0] = y;
  f.data[1] = y + kWidth * kHeight;
  f.data[2] = y + kWidth * kHeight * 5 / 4;
  f.stride[0] = kWidth;
  f.stride[1] = f.stride[2] = kWidth / 2;
  return f;
}

// The frames the library makes with windows mirrored at both ends.
std::vector<std::vector<uint8_t>> library_frames(const std::vector<std::vector<uint8_t>>& in,
                                                 int radius, float sigma) {
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_YUV420;
  config.stream.width = kWidth;
  config.stream.height = kHeight;
  config.temporal_radius = radius;
  const float noise[3] = {sigma, sigma, sigma};
  EXPECT_EQ(zolta_settings_for_noise(noise, ZOLTA_FAMILY_YUV420, &config.settings, nullptr),
            ZOLTA_OK);
  zolta_denoiser* d = nullptr;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, nullptr), ZOLTA_OK);
  std::vector<zolta_frame> frames;
  for (const auto& f : in) frames.push_back(frame_of(f.data()));
  std::vector<std::vector<uint8_t>> out = in;
  const int last = static_cast<int>(in.size()) - 1;
  for (int n = 0; n <= last; ++n) {
    const zolta_frame* window[5];
    for (int k = -radius; k <= radius; ++k) {
      // Mirrored at the first and the last frame, again and again when the
      // stream is shorter than the window.
      int i = n + k;
      while (last > 0 && (i < 0 || i > last)) i = i < 0 ? -i : 2 * last - i;
      if (last == 0) i = 0;
      window[k + radius] = &frames[i];
    }
    const zolta_frame result = frame_of(out[n].data());
    EXPECT_EQ(zolta_denoiser_process_window(d, window, 2 * radius + 1, &result, nullptr), ZOLTA_OK);
  }
  zolta_denoiser_destroy(d);
  return out;
}

TEST_F(ZoltaRun, TemporalWindowsGiveTheLibrarysFramesForEveryThreadCount) {
  const auto frames = still_noisy_frames(81);
  write_file(path("in.y4m"), y4m_of(frames));
  ASSERT_EQ(run("$Z --sigma 8 in.y4m alone.y4m"), 0) << stderr_;
  for (int radius : {1, 2}) {
    const std::string expected = y4m_of(library_frames(frames, radius, 8.0f));
    for (int threads : {1, 2, 3}) {
      const std::string out = "r" + std::to_string(radius) + "t" + std::to_string(threads) + ".y4m";
      ASSERT_EQ(run("$Z --temporal " + std::to_string(radius) + " --sigma 8 --threads " +
                    std::to_string(threads) + " in.y4m " + out),
                0)
          << stderr_;
      EXPECT_TRUE(read_file(path(out)) == expected) << radius << ", " << threads << " threads";
    }
    EXPECT_FALSE(expected == read_file(path("alone.y4m"))) << "the frames did not help";
  }
  // Radius 0 is the run without the option.
  ASSERT_EQ(run("$Z --temporal 0 --sigma 8 in.y4m zero.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("zero.y4m")) == read_file(path("alone.y4m")));
  // A stream shorter than the window, and a single frame.
  write_file(path("two.y4m"), y4m_of({frames[0], frames[1]}));
  ASSERT_EQ(run("$Z --temporal 2 --sigma 8 two.y4m two-out.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("two-out.y4m")) ==
              y4m_of(library_frames({frames[0], frames[1]}, 2, 8.0f)));
  write_file(path("one.y4m"), y4m_of({frames[0]}));
  ASSERT_EQ(run("$Z --temporal 2 --sigma 8 one.y4m one-out.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("one-out.y4m")) == y4m_of(library_frames({frames[0]}, 2, 8.0f)));
}

TEST_F(ZoltaRun, TemporalWindowsEndWhereThePictureSizeChanges) {
  // Three pictures of one size, two of another, in one stream: the same as
  // the two runs on their own.
  std::string all, first, second;
  for (int i = 0; i < 5; ++i) {
    const std::string png = png_file_bytes(test_picture(i < 3 ? 32 : 48, 32, 90));
    all += png;
    (i < 3 ? first : second) += png;
  }
  write_file(path("all.png"), all);
  write_file(path("first.png"), first);
  write_file(path("second.png"), second);
  const std::string z = "$Z --temporal 1 --sigma 12 --threads 2 ";
  ASSERT_EQ(run(z + "all.png all-out.png && " + z + "first.png first-out.png && " + z +
                "second.png second-out.png"),
            0)
      << stderr_;
  EXPECT_TRUE(read_file(path("all-out.png")) ==
              read_file(path("first-out.png")) + read_file(path("second-out.png")));
}

TEST_F(ZoltaRun, TemporalRadiusOutOfRangeIsACommandLineError) {
  write_file(path("in.y4m"), y4m_of(still_noisy_frames(3)));
  EXPECT_EQ(run("$Z --temporal 3 --sigma 8 in.y4m out.y4m"), 2);
  EXPECT_NE(stderr_.find("--temporal must be an integer from 0 to 2"), std::string::npos)
      << stderr_;
  EXPECT_FALSE(exists(path("out.y4m")));
}

}  // namespace
