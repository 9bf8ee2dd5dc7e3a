// SPDX-License-Identifier: BSD-2-Clause
// The GStreamer element in Debian's gst-inspect-1.0 and gst-launch-1.0,
// found through GST_PLUGIN_PATH with a registry of the test's own: raw frames
// of several formats give the library's bytes for the same frames, alpha as
// it came in; refusals are the element's errors and nothing is written;
// memory stays flat over a long run.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "host_run.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kFrames = 3;

std::string gst(const TempDir& dir, const char* program) {
  return std::string("GST_PLUGIN_PATH='") + ZOLTA_GST_DIR + "' GST_REGISTRY='" +
         dir.path("registry.bin") + "' timeout 30 " + program;
}

// gst-launch-1.0 over a file of raw frames. gst-launch-1.0 of GStreamer 1.22
// that meets an error while its pipeline prerolls at times keeps waiting,
// with any element (videoconvert's refusals too), mostly when it builds the
// registry at the same time: the registry is made first, by gst-inspect-1.0,
// and the sink does not wait to preroll.
int launch(const TempDir& dir, const std::string& format, int width, int height,
           const std::string& properties, std::string* output) {
  if (!file_exists(dir.path("registry.bin"))) {
    run_command(gst(dir, "gst-inspect-1.0 zoltadenoise"), output);
  }
  return run_command(gst(dir, "gst-launch-1.0 -q") + " filesrc location='" + dir.path("in.raw") +
                         "' ! rawvideoparse format=" + format + " width=" + std::to_string(width) +
                         " height=" + std::to_string(height) + " framerate=25/1 ! zoltadenoise " +
                         properties + " ! filesink async=false location='" + dir.path("out.raw") +
                         "'",
                     output);
}

// Samples of `bits` bits, little-endian for more than 8.
Bytes noisy_frames(size_t samples, int bits, uint32_t seed) {
  const Bytes base = noisy_samples(samples, seed);
  if (bits == 8) return base;
  const Bytes low = noisy_samples(samples, seed + 1);
  Bytes out(samples * 2);
  for (size_t i = 0; i < samples; ++i) {
    const unsigned v = (unsigned{base[i]} << (bits - 8)) | (low[i] & ((1u << (bits - 8)) - 1));
    out[2 * i] = static_cast<uint8_t>(v & 255);
    out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  return out;
}

zolta_stream stream_of(int32_t family, int bits) {
  zolta_stream stream{};
  stream.family = family;
  stream.bits = bits;
  stream.width = kWidth;
  stream.height = kHeight;
  return stream;
}

}  // namespace

TEST(GstElement, InspectValidatesItAndListsTheTablesProperties) {
  TempDir dir;
  std::string output;
  ASSERT_EQ(run_command(gst(dir, "gst-inspect-1.0 zoltadenoise"), &output), 0) << output;
  EXPECT_NE(output.find("Filter/Effect/Video"), std::string::npos);
  for (const char* property : {"sigma", "config", "thresholds", "view", "plane", "threads"})
    EXPECT_NE(output.find(std::string("  ") + property + " "), std::string::npos) << property;
  EXPECT_NE(output.find("changeable in NULL, READY, PAUSED or PLAYING state"), std::string::npos);
}

TEST(GstElement, FormatsGiveTheLibrarysBytes) {
  zolta_settings diff = settings_for_config(
      "Config(49344, 16448, 8224, 57568, 16448, 8224, "
      "57568, 16448, 8224)");
  diff.view = ZOLTA_VIEW_DIFF;
  const zolta_settings listed = settings_for_thresholds(
      {400, 120, 60, 400, 120, 60, 600, 200, 90, 600, 200, 90, 600, 200, 90, 600, 200, 90});
  zolta_settings high = settings_for_noise(6, ZOLTA_FAMILY_YUV422);
  high.view = ZOLTA_VIEW_HIGH;
  high.plane = 2;
  high.show_plane = 1;

  const struct {
    const char* format;
    zolta_stream stream;
    std::string properties;
    zolta_settings settings;
  } cases[] = {
      {"i420", stream_of(ZOLTA_FAMILY_YUV420, 8), "", settings_for_noise(10, ZOLTA_FAMILY_YUV420)},
      // Each frame shared by 3 threads, and by one: the same bytes.
      {"i420", stream_of(ZOLTA_FAMILY_YUV420, 8), "threads=3",
       settings_for_noise(10, ZOLTA_FAMILY_YUV420)},
      {"i422-10le", stream_of(ZOLTA_FAMILY_YUV422, 10), "threads=1 sigma=6 view=high plane=2",
       high},
      {"i420", stream_of(ZOLTA_FAMILY_YUV420, 8),
       "config='Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)' view=diff",
       diff},
      {"i422-10le", stream_of(ZOLTA_FAMILY_YUV422, 10), "sigma=6 view=high plane=2", high},
      {"gray16-le", stream_of(ZOLTA_FAMILY_GRAY, 16),
       "thresholds=400,120,60,400,120,60,600,200,90,600,200,90,600,200,90,600,200,90", listed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.properties);
    TempDir dir;
    const size_t frame = planar_frame_size(c.stream);
    const Bytes frames = noisy_frames(frame * kFrames / (c.stream.bits > 8 ? 2 : 1), c.stream.bits,
                                      static_cast<uint32_t>(frame));
    write_file(dir.path("in.raw"), frames);
    std::string output;
    ASSERT_EQ(launch(dir, c.format, kWidth, kHeight, c.properties, &output), 0) << output;
    const Bytes got = read_file(dir.path("out.raw"));
    ASSERT_EQ(got.size(), frames.size());
    EXPECT_TRUE(got == reference_planar(frames, c.stream, c.settings));
    EXPECT_NE(got, frames);
  }
}

TEST(GstElement, RgbFormatsGiveTheLibrarysBytesAndKeepAlpha) {
  TempDir dir;
  const Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * kFrames, 31);
  write_file(dir.path("in.raw"), frames);
  std::string output;
  ASSERT_EQ(launch(dir, "bgra", kWidth, kHeight, "sigma=12", &output), 0) << output;
  const Bytes got = read_file(dir.path("out.raw"));
  EXPECT_TRUE(got ==
              reference_bgra(frames, kWidth, kHeight, settings_for_noise(12, ZOLTA_FAMILY_RGB)));
  for (size_t i = 3; i < got.size() && i < frames.size(); i += 4)
    ASSERT_EQ(got[i], frames[i]) << "alpha at " << i;

  // Planar GBR: the planes G, B, R in the file; the library takes R, G, B.
  const size_t plane = size_t{kWidth} * kHeight;
  const Bytes planar = noisy_samples(plane * 3 * kFrames, 33);
  write_file(dir.path("in.raw"), planar);
  ASSERT_EQ(launch(dir, "gbr", kWidth, kHeight, "sigma=12", &output), 0) << output;
  const Bytes gbr = read_file(dir.path("out.raw"));
  ASSERT_EQ(gbr.size(), planar.size());
  Bytes rgb(planar.size());
  const size_t order[3] = {2, 0, 1};  // R, G, B from the planes G, B, R
  for (size_t f = 0; f < kFrames; ++f)
    for (size_t p = 0; p < 3; ++p)
      std::copy_n(planar.begin() + static_cast<long>((f * 3 + order[p]) * plane), plane,
                  rgb.begin() + static_cast<long>((f * 3 + p) * plane));
  const Bytes want = reference_planar(rgb, stream_of(ZOLTA_FAMILY_RGB, 8),
                                      settings_for_noise(12, ZOLTA_FAMILY_RGB));
  for (size_t f = 0; f < kFrames; ++f)
    for (size_t p = 0; p < 3; ++p)
      EXPECT_TRUE(std::equal(want.begin() + static_cast<long>((f * 3 + p) * plane),
                             want.begin() + static_cast<long>((f * 3 + p + 1) * plane),
                             gbr.begin() + static_cast<long>((f * 3 + order[p]) * plane)))
          << "frame " << f << " plane " << p;
}

TEST(GstElement, RefusalsAreTheElementsErrorsAndNothingIsWritten) {
  TempDir dir;
  const struct {
    int width;
    std::string properties;
    const char* message;
  } cases[] = {
      {62, "", "4:2:0 needs width and height that are multiples of 8; got 62 x 48"},
      {64, "config='Config(1, 2)'", "is not Config(a, b, c, d, e, f, g, h, i)"},
      {64, "config='Config(0,0,0,0,0,0,0,0,0)' thresholds=1,2",
       "give the settings as config or as thresholds, not both"},
      {64, "thresholds=1,2,3", "thresholds takes eighteen integers, not 3"},
      {64, "plane=2 view=high thresholds=1,x", "thresholds value 2 (\"x\") is not an integer"},
      {64, "profile=/nonexistent/camera.profile",
       "cannot open noise profile \"/nonexistent/camera.profile\""},
      {64, "profile=/nonexistent/camera.profile config='Config(0,0,0,0,0,0,0,0,0)'",
       "give the settings as config or as a profile, not both"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.properties);
    write_file(dir.path("in.raw"),
               noisy_samples(static_cast<size_t>(c.width) * kHeight * 3 / 2 * kFrames, 1));
    std::string output;
    EXPECT_EQ(launch(dir, "i420", c.width, kHeight, c.properties, &output), 1) << output;
    EXPECT_NE(output.find("ERROR: from element /GstPipeline:pipeline0/GstZoltaDenoise"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find(c.message), std::string::npos) << output;
    EXPECT_TRUE(read_file(dir.path("out.raw")).empty());
  }
  // GStreamer's own refusals: a value that is no number stops gst-launch-1.0;
  // one outside the property's range is GLib's warning, naming the property.
  std::string output;
  EXPECT_EQ(launch(dir, "i420", kWidth, kHeight, "sigma=ten", &output), 1);
  EXPECT_NE(output.find("could not set property \"sigma\""), std::string::npos) << output;
  EXPECT_TRUE(read_file(dir.path("out.raw")).empty());
  launch(dir, "i420", kWidth, kHeight, "sigma=51", &output);
  EXPECT_NE(output.find("out of range for property 'sigma'"), std::string::npos) << output;
}

TEST(GstElement, MemoryStaysFlatOverALongRun) {
  TempDir dir;
  // The most memory any child has had so far: a short run, then one a
  // hundred times longer, must not raise it by more than a few frames' worth.
  auto run = [&](int frames) {
    std::string output;
    EXPECT_EQ(run_command(gst(dir, "gst-launch-1.0 -q") +
                              " videotestsrc pattern=snow num-buffers=" + std::to_string(frames) +
                              " ! video/x-raw,format=I420,width=320,height=240 ! zoltadenoise ! "
                              "fakesink",
                          &output),
              0)
        << output;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;  // kilobytes
  };
  const long short_run = run(10);
  const long long_run = run(1000);
  EXPECT_LT(long_run - short_run, 4 * 1024) << short_run << " kB, then " << long_run << " kB";
}

TEST(GstElement, TemporalWindowsMirrorAtTheEndsAndEveryFrameComesOut) {
  // Streams shorter than, as long as and longer than a window: the end of
  // the stream arrives while frames are held, and each goes out from its
  // window mirrored at the last frame.
  const zolta_stream stream = stream_of(ZOLTA_FAMILY_YUV420, 8);
  const zolta_settings settings = settings_for_noise(10, ZOLTA_FAMILY_YUV420);
  for (int radius : {1, 2}) {
    for (int frames : {1, 2, 6}) {
      SCOPED_TRACE("temporal " + std::to_string(radius) + ", " + std::to_string(frames) +
                   " frames");
      TempDir dir;
      const Bytes in = noisy_samples(planar_frame_size(stream) * frames, 60 + frames);
      write_file(dir.path("in.raw"), in);
      std::string output;
      ASSERT_EQ(launch(dir, "i420", kWidth, kHeight, "temporal=" + std::to_string(radius),
                       &output),
                0)
          << output;
      const Bytes got = read_file(dir.path("out.raw"));
      ASSERT_EQ(got.size(), in.size());
      EXPECT_TRUE(got == reference_planar_windows(in, stream, settings, radius));
    }
  }
}

TEST(GstElement, SigmaAutoAndProfileGiveTheSettingsOfTheirModel) {
  // sigma_auto holds the stream's first 8 frames (all of a shorter stream),
  // measures them and denoises every frame with the settings of that model;
  // a profile gives its model's.
  const zolta_stream stream = stream_of(ZOLTA_FAMILY_YUV420, 8);
  TempDir files;
  const std::string profile = files.path("camera.profile");
  const zolta_settings from_profile = write_test_profile(profile, ZOLTA_FAMILY_YUV420);
  const struct {
    int frames;
    std::string properties;
    int radius;
    bool automatic;  // else the profile's settings
  } cases[] = {
      {12, "sigma-auto=true", 0, true},
      {12, "sigma-auto=true threads=1", 0, true},
      {3, "sigma-auto=true", 0, true},
      {11, "sigma-auto=true temporal=1", 1, true},
      {5, "sigma-auto=true temporal=2", 2, true},
      {4, "sigma-auto=true profile=" + profile, 0, false},
      {4, "profile=" + profile + " temporal=2", 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.frames) + " frames, " + c.properties);
    TempDir dir;
    const Bytes in = noisy_samples(planar_frame_size(stream) * c.frames, 70 + c.frames);
    write_file(dir.path("in.raw"), in);
    std::string output;
    ASSERT_EQ(launch(dir, "i420", kWidth, kHeight, c.properties, &output), 0) << output;
    const Bytes got = read_file(dir.path("out.raw"));
    ASSERT_EQ(got.size(), in.size());
    const zolta_settings settings =
        c.automatic ? settings_of_planar_model(in, stream, c.frames < 8 ? c.frames : 8)
                    : from_profile;
    EXPECT_TRUE(got == reference_planar_windows(in, stream, settings, c.radius));
  }
}
