// SPDX-License-Identifier: BSD-2-Clause
// One frame's work shared by a denoiser's workers (frame_threads): the bytes
// of every format, depth, view and temporal radius are the ones a single
// thread gives, for band counts that cut planes at awkward rows and columns
// (more parts than strips, heights that no count divides), and while several
// callers compete for the workers. Run under ThreadSanitizer by the test
// command.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "api_support.h"

namespace {

struct Cut {
  int32_t frame_threads;
  int32_t width, height;
};

// Band counts with sizes they do not divide; 7 parts of 24 rows leave some
// parts without a band of conversions and most without a strip.
constexpr Cut kCuts[] = {{2, 48, 24}, {3, 64, 40}, {7, 32, 56}};

struct View {
  const char* name;
  int32_t view, show_plane, plane;
};

constexpr View kViews[] = {{"normal", ZOLTA_VIEW_NORMAL, 0, 0},
                           {"high", ZOLTA_VIEW_HIGH, 0, 1},
                           {"diff", ZOLTA_VIEW_DIFF, 0, 0},
                           {"plane", ZOLTA_VIEW_NORMAL, 1, 2}};

zolta_settings settings_for(const View& v, int32_t radius, uint32_t seed) {
  zolta_settings s = random_settings(seed, 300);
  s.view = v.view;
  s.show_plane = v.show_plane;
  s.plane = v.plane;
  if (radius > 0) {
    s.temporal_thresholds[0] = 1200;
    s.temporal_thresholds[2] = 700;  // plane 1 left to the spatial step
    s.temporal_spatial_share[radius - 1] = 150;
    s.temporal_restore[radius - 1] = 120;
  }
  return s;
}

// Frame n's window of a clip, mirrored at both ends.
std::vector<const TestFrame*> window_of(const std::vector<TestFrame>& clip, int n, int radius) {
  const int last = static_cast<int>(clip.size()) - 1;
  std::vector<const TestFrame*> w;
  for (int k = -radius; k <= radius; ++k) {
    int i = n + k;
    if (i < 0) i = -i;
    if (i > last) i = 2 * last - i;
    w.push_back(&clip[i]);
  }
  return w;
}

// Every frame of the clip through a denoiser of one thread and one of
// `cut.frame_threads`, each into its own output.
testing::AssertionResult same_as_one_thread(const std::vector<TestFrame>& clip,
                                            const zolta_settings& settings, int32_t radius,
                                            int32_t frame_threads) {
  const zolta_stream& s = clip[0].stream;
  Denoiser alone(s, settings, 1, radius, 0);
  Denoiser banded(s, settings, 1, radius, frame_threads);
  for (int n = 0; n < static_cast<int>(clip.size()); ++n) {
    const TestFrame want = make_frame(s, 0, false, 0, 0x5a);
    const TestFrame got = make_frame(s, 0, false, 0, 0xa5);
    if (alone.process_window(window_of(clip, n, radius), want) != ZOLTA_OK ||
        banded.process_window(window_of(clip, n, radius), got) != ZOLTA_OK) {
      return testing::AssertionFailure() << "frame " << n << " refused";
    }
    const testing::AssertionResult same = same_frames(got, want);
    if (!same) return testing::AssertionFailure() << "frame " << n << ": " << same.message();
  }
  return testing::AssertionSuccess();
}

std::vector<TestFrame> clip_of(const zolta_stream& s, int frames, uint32_t seed) {
  std::vector<TestFrame> clip;
  for (int f = 0; f < frames; ++f) {
    clip.push_back(make_frame(s, 8, f % 2 == 1, seed + f));
    clip.back().frame.number = f + 1;  // kept across windows
  }
  return clip;
}

TEST(FrameThreads, EveryFormatViewAndRadiusGivesTheBytesOfOneThread) {
  for (const FormatCase& fc : every_format()) {
    for (const Cut& cut : kCuts) {
      const zolta_stream s = stream_of(fc, cut.width, cut.height);
      const std::vector<TestFrame> clip = clip_of(s, 4, 300 + cut.frame_threads);
      for (const View& v : kViews) {
        for (int32_t radius = 0; radius <= 2; ++radius) {
          SCOPED_TRACE(format_name(fc) + " " + v.name + " radius " + std::to_string(radius) +
                       " parts " + std::to_string(cut.frame_threads));
          EXPECT_TRUE(same_as_one_thread(clip, settings_for(v, radius, 11 + radius), radius,
                                         cut.frame_threads));
        }
      }
    }
  }
}

TEST(FrameThreads, PlanesInterleavedInOnePictureGiveTheBytesOfOneThread) {
  // RGBA and grey with alpha, as the editors' faces hand them over: the
  // conversions run in bands of rows of the one picture.
  for (const FormatCase& fc : {FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8},
                               FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16},
                               FormatCase{ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_FLOAT, 32},
                               FormatCase{ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 10}}) {
    for (const Cut& cut : kCuts) {
      const zolta_stream s = stream_of(fc, cut.width, cut.height);
      const int planes = zolta_stream_planes(&s);
      const int32_t sample = fc.sample == ZOLTA_SAMPLE_FLOAT ? 4 : (fc.bits > 8 ? 2 : 1);
      const int32_t pixel = (planes + 1) * sample;
      const size_t bytes = static_cast<size_t>(s.width) * s.height * pixel;
      std::vector<uint8_t> picture(bytes), want, got;
      const TestFrame source = make_frame(s, 0, false, 77);
      for (int p = 0; p < planes; ++p) {
        for (int32_t r = 0; r < s.height; ++r) {
          for (int32_t x = 0; x < s.width; ++x) {
            std::memcpy(&picture[(static_cast<size_t>(r) * s.width + x) * pixel + p * sample],
                        static_cast<const uint8_t*>(source.frame.data[p]) +
                            r * source.frame.stride[p] + x * sample,
                        sample);
          }
        }
      }
      auto frame_of = [&](std::vector<uint8_t>& b) {
        zolta_frame f{};
        for (int p = 0; p < planes; ++p) {
          f.data[p] = b.data() + p * sample;
          f.stride[p] = static_cast<ptrdiff_t>(s.width) * pixel;
          f.step[p] = pixel;
        }
        return f;
      };
      for (const View& v : kViews) {
        SCOPED_TRACE(format_name(fc) + " " + v.name + " parts " +
                     std::to_string(cut.frame_threads));
        const zolta_settings settings = settings_for(v, 0, 21);
        Denoiser alone(s, settings, 1, 0, 0);
        Denoiser banded(s, settings, 1, 0, cut.frame_threads);
        want = picture;
        got = picture;
        const zolta_frame want_frame = frame_of(want), got_frame = frame_of(got);
        ASSERT_EQ(zolta_denoiser_process(alone.d, &want_frame, &want_frame, nullptr), ZOLTA_OK);
        ASSERT_EQ(zolta_denoiser_process(banded.d, &got_frame, &got_frame, nullptr), ZOLTA_OK);
        EXPECT_TRUE(want == got);
      }
    }
  }
}

TEST(FrameThreads, CallersCompetingForTheWorkersGiveTheBytesOfOneThread) {
  // Four callers, two working areas, three parts a frame: one call at a time
  // has the workers, the others work alone.
  for (const FormatCase& fc : {FormatCase{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10},
                               FormatCase{ZOLTA_FAMILY_RGB32, ZOLTA_SAMPLE_INTEGER, 8}}) {
    SCOPED_TRACE(format_name(fc));
    const zolta_stream s = stream_of(fc, 64, 40);
    const zolta_settings settings = random_settings(31, 250);
    const int frames = 6, rounds = 3;
    std::vector<TestFrame> in, expected, out;
    Denoiser alone(s, settings);
    for (int f = 0; f < frames; ++f) {
      in.push_back(make_frame(s, 0, false, 500 + f));
      expected.push_back(make_frame(s, 0, false, 0));
      ASSERT_EQ(alone.process(in.back(), expected.back()), ZOLTA_OK);
    }
    for (int k = 0; k < frames * rounds; ++k) out.push_back(make_frame(s, 0, false, 0));
    Denoiser shared(s, settings, 2, 0, 3);
    std::atomic<int> next{0}, failures{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
      callers.emplace_back([&] {
        for (int k = next++; k < frames * rounds; k = next++) {
          if (shared.process(in[k % frames], out[k]) != ZOLTA_OK) ++failures;
        }
      });
    }
    for (std::thread& t : callers) t.join();
    EXPECT_EQ(failures, 0);
    for (int k = 0; k < frames * rounds; ++k) {
      EXPECT_TRUE(same_frames(out[k], expected[k % frames])) << "frame " << k;
    }
  }
}

TEST(FrameThreads, CountsOutOfRangeAreRefusedAndOlderRecordsIgnoreTheField) {
  const zolta_stream s = stream_of({ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8}, 16, 16);
  struct Case {
    uint32_t version;
    int32_t frame_threads;
    int status;
  };
  const Case cases[] = {
      {ZOLTA_API_VERSION, -1, ZOLTA_ERROR_ARGUMENT},
      {ZOLTA_API_VERSION, 65, ZOLTA_ERROR_ARGUMENT},
      {ZOLTA_API_VERSION, 64, ZOLTA_OK},
      {ZOLTA_MAKE_VERSION(1, 0), -1, ZOLTA_OK},  // reserved space in 1.0: not read
  };
  for (const Case& c : cases) {
    zolta_denoiser_config config;
    zolta_denoiser_config_default(&config, c.version);
    config.stream = s;
    config.frame_threads = c.frame_threads;
    zolta_denoiser* d = nullptr;
    zolta_error error{};
    EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), c.status)
        << c.frame_threads << ": " << error.message;
    if (c.status != ZOLTA_OK) {
      EXPECT_NE(std::strstr(error.message, "frame threads"), nullptr);
    }
    zolta_denoiser_destroy(d);
  }
}

}  // namespace
