// SPDX-License-Identifier: BSD-2-Clause
// One denoiser shared by several threads: frames processed at once give the
// frames one thread gives, including when more threads call than the
// denoiser has working areas (callers wait for a free one). Run under
// ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "api_support.h"

namespace {

struct Clip {
  zolta_stream stream;
  std::vector<TestFrame> in, expected;
};

Clip make_clip(const FormatCase& fc, const zolta_settings& settings, int frames) {
  Clip clip{stream_of(fc, 64, 32), {}, {}};
  Denoiser alone(clip.stream, settings, 1);
  for (int f = 0; f < frames; ++f) {
    clip.in.push_back(make_frame(clip.stream, 0, false, 1000 + f));
    clip.expected.push_back(make_frame(clip.stream, 0, false, 0));
    EXPECT_EQ(alone.process(clip.in.back(), clip.expected.back()), ZOLTA_OK);
  }
  return clip;
}

// `callers` threads take frames from a shared counter and process each
// `rounds` times into their own output frames.
void run_shared(const Clip& clip, const zolta_settings& settings, int32_t areas, int callers,
                int rounds) {
  Denoiser shared(clip.stream, settings, areas);
  const int frames = static_cast<int>(clip.in.size());
  std::vector<TestFrame> out;
  for (int f = 0; f < frames * rounds; ++f) out.push_back(make_frame(clip.stream, 0, false, 0));
  std::atomic<int> next{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < callers; ++t) {
    threads.emplace_back([&] {
      for (int k = next++; k < frames * rounds; k = next++) {
        if (shared.process(clip.in[k % frames], out[k]) != ZOLTA_OK) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  for (int k = 0; k < frames * rounds; ++k) {
    EXPECT_TRUE(same_frames(out[k], clip.expected[k % frames])) << "frame " << k;
  }
}

TEST(Threads, FramesProcessedAtOnceEqualTheSingleThreadedOnes) {
  const zolta_settings settings = random_settings(5, 200);
  for (const FormatCase& fc : {FormatCase{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10},
                               FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_FLOAT, 32}}) {
    SCOPED_TRACE(format_name(fc));
    const Clip clip = make_clip(fc, settings, 8);
    run_shared(clip, settings, 4, 4, 3);
  }
}

TEST(Threads, CallersBeyondTheWorkingAreasWaitForOne) {
  zolta_settings settings = random_settings(6, 150);
  settings.view = ZOLTA_VIEW_DIFF;
  const Clip clip = make_clip({ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8}, settings, 6);
  run_shared(clip, settings, 2, 6, 4);
}

TEST(Threads, WindowsProcessedAtOnceEqualTheSingleThreadedOnes) {
  // Radius 2 over a clip, every window mirrored at the ends, four callers
  // sharing one denoiser of three working areas.
  const zolta_stream stream = stream_of({ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8}, 64, 32);
  zolta_settings settings = random_settings(7, 200);
  for (int32_t& v : settings.temporal_thresholds) v = 1500;
  settings.temporal_spatial_share[1] = 160;
  settings.temporal_restore[1] = 100;
  const int frames = 8;
  std::vector<TestFrame> in, expected, out;
  for (int f = 0; f < frames; ++f) {
    in.push_back(make_frame(stream, 0, false, 2000 + f));
    expected.push_back(make_frame(stream, 0, false, 0));
    out.push_back(make_frame(stream, 0, false, 0));
  }
  auto window_of = [&](int n) {
    std::vector<const TestFrame*> w;
    for (int k = -2; k <= 2; ++k) {
      int i = n + k;
      if (i < 0) i = -i;
      if (i >= frames) i = 2 * (frames - 1) - i;
      w.push_back(&in[i]);
    }
    return w;
  };
  {
    Denoiser alone(stream, settings, 1, 2);
    for (int n = 0; n < frames; ++n) {
      ASSERT_EQ(alone.process_window(window_of(n), expected[n]), ZOLTA_OK);
    }
  }
  Denoiser shared(stream, settings, 3, 2);
  std::atomic<int> next{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int n = next++; n < frames; n = next++) {
        if (shared.process_window(window_of(n), out[n]) != ZOLTA_OK) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  for (int n = 0; n < frames; ++n) EXPECT_TRUE(same_frames(out[n], expected[n])) << "frame " << n;
}

}  // namespace
