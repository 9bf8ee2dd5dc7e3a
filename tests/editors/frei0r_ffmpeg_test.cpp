// SPDX-License-Identifier: BSD-2-Clause
// The frei0r module in Debian's ffmpeg (-vf frei0r, found through
// FREI0R_PATH): frame for frame the library's bytes for the same BGRA frames,
// alpha as it came in, zolta-run's bytes for the same RGB pictures, and the
// host's error with no output for what it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_run.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kFrames = 3;

std::string ffmpeg() {
  return std::string("FREI0R_PATH='") + ZOLTA_FREI0R_DIR +
         "' ffmpeg -hide_banner -loglevel error -nostdin -y";
}

// ffmpeg over raw BGRA frames of the test size.
int run_filter(const TempDir& dir, const std::string& frames_file, int width, int height,
               const std::string& params, const std::string& out, std::string* output) {
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::string filter = "frei0r=filter_name=zolta";
  if (!params.empty()) filter += ":filter_params=" + params;
  return run_command(ffmpeg() + " -f rawvideo -pix_fmt bgra -s " + size + " -i '" +
                         dir.path(frames_file) + "' -vf \"" + filter +
                         "\" -f rawvideo -pix_fmt bgra '" + dir.path(out) + "'",
                     output);
}

struct Case {
  std::string params;  // ffmpeg's filter_params; commas escaped for its filter graph
  zolta_settings settings;
};

}  // namespace

TEST(Frei0rFfmpeg, FramesAreTheLibrarysBytesAndAlphaIsKept) {
  TempDir dir;
  const Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * kFrames, 7);
  write_file(dir.path("in.raw"), frames);

  zolta_settings high = settings_for_noise(8, ZOLTA_FAMILY_RGB);
  high.view = ZOLTA_VIEW_HIGH;
  high.plane = 1;
  high.show_plane = 1;
  zolta_settings diff = settings_for_config(
      "Config(49344, 16448, 8224, 57568, 16448, 8224, "
      "57568, 16448, 8224)");
  diff.view = ZOLTA_VIEW_DIFF;
  const zolta_settings listed = settings_for_thresholds(
      {400, 120, 60, 400, 120, 60, 600, 200, 90, 600, 200, 90, 600, 200, 90, 600, 200, 90});
  zolta_settings off;
  zolta_settings_default(&off, ZOLTA_API_VERSION);
  off.enabled = 0;

  const Case cases[] = {
      {"", settings_for_noise(10, ZOLTA_FAMILY_RGB)},  // the defaults: a medium noise level
      {"0.3", settings_for_noise(15, ZOLTA_FAMILY_RGB)},
      {"0.16||high|1", high},
      {"0.2|Config(49344\\, 16448\\, 8224\\, 57568\\, 16448\\, 8224\\, 57568\\, 16448\\, "
       "8224)|diff",
       diff},
      {"0|400\\,120\\,60\\,400\\,120\\,60\\,600\\,200\\,90\\,600\\,200\\,90\\,600\\,200\\,90\\,"
       "600\\,"
       "200\\,90",
       listed},
      {"0", off},
      // sigma_auto (ffmpeg writes a frei0r bool y or n): the first frame's
      // model for every frame; a profile: its model's settings.
      {"0.1||normal||y", settings_of_bgra_model(frames, kWidth, kHeight, 1)},
      {"0.1||normal||n|" + dir.path("camera.profile"),
       write_test_profile(dir.path("camera.profile"), ZOLTA_FAMILY_RGB)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    std::string output;
    ASSERT_EQ(run_filter(dir, "in.raw", kWidth, kHeight, c.params, "out.raw", &output), 0)
        << output;
    EXPECT_EQ(output, "");
    const Bytes got = read_file(dir.path("out.raw"));
    ASSERT_EQ(got.size(), frames.size());
    const Bytes want = reference_bgra(frames, kWidth, kHeight, c.settings);
    EXPECT_TRUE(got == want);
    if (c.settings.enabled) {
      EXPECT_NE(got, frames);
    }
    for (size_t i = 3; i < got.size(); i += 4) ASSERT_EQ(got[i], frames[i]) << "alpha at " << i;
  }
}

TEST(Frei0rFfmpeg, ZoltaRunGivesTheSameBytesForTheSameRgbPictures) {
  TempDir dir;
  // RGB pictures (alpha opaque): ffmpeg's frei0r output as PNG against
  // zolta-run on each PNG.
  const Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * 2, 11);
  write_file(dir.path("in.raw"), frames);
  std::string output;
  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  ASSERT_EQ(run_command(ffmpeg() + " -f rawvideo -pix_fmt bgra -s " + size + " -i '" +
                            dir.path("in.raw") + "' -pix_fmt rgb24 '" + dir.path("in-%d.png") + "'",
                        &output),
            0)
      << output;
  ASSERT_EQ(run_command(ffmpeg() + " -i '" + dir.path("in-%d.png") +
                            "' -vf \"frei0r=filter_name=zolta:filter_params=0.24\" -pix_fmt rgb24 "
                            "-f rawvideo '" +
                            dir.path("filtered.raw") + "'",
                        &output),
            0)
      << output;
  Bytes reference;
  for (int i = 1; i <= 2; ++i) {
    const std::string in = dir.path("in-" + std::to_string(i) + ".png");
    const std::string out = dir.path("run-" + std::to_string(i) + ".png");
    ASSERT_EQ(
        run_command(std::string(ZOLTA_RUN) + " --sigma 12 '" + in + "' '" + out + "'", &output), 0)
        << output;
    ASSERT_EQ(run_command(ffmpeg() + " -i '" + out + "' -pix_fmt rgb24 -f rawvideo '" +
                              dir.path("run.raw") + "'",
                          &output),
              0)
        << output;
    const Bytes one = read_file(dir.path("run.raw"));
    reference.insert(reference.end(), one.begin(), one.end());
  }
  const Bytes got = read_file(dir.path("filtered.raw"));
  ASSERT_EQ(got.size(), size_t{kWidth} * kHeight * 3 * 2);
  EXPECT_TRUE(got == reference);
}

TEST(Frei0rFfmpeg, RefusalsAreTheHostsErrorsWithoutOutput) {
  TempDir dir;
  const Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * kFrames, 3);
  write_file(dir.path("in.raw"), frames);
  std::string output;
  // A noise level that is no number: ffmpeg's own refusal.
  EXPECT_NE(run_filter(dir, "in.raw", kWidth, kHeight, "ten", "number.raw", &output), 0);
  EXPECT_NE(output.find("Invalid value 'ten' for parameter 'sigma'"), std::string::npos) << output;
  EXPECT_TRUE(read_file(dir.path("number.raw")).empty());
}

// ffmpeg (5.1) pads the rows of frames whose width is not a multiple of 16
// pixels, and frei0r gives a filter no row length: such widths get no
// instance, so ffmpeg stops with the filter's line and writes nothing. A
// multiple of 16 gives the library's bytes; the padding and cropping the
// message proposes gives those of the padded frames, cropped.
TEST(Frei0rFfmpeg, EveryWidthClassIsDenoisedOrStopsWithTheWayAround) {
  TempDir dir;
  const struct {
    int width, height;
    const char* filter;  // empty: frei0r=filter_name=zolta
    const char* message;  // empty: the library's bytes
  } cases[] = {
      {64, kHeight, "", ""},
      {80, 8, "", ""},
      {68, kHeight, "", "ffmpeg pads the rows of frames 68 pixels wide"},
      {62, kHeight, "", "ffmpeg pads the rows of frames 62 pixels wide"},
      {1080, 8, "", "crop=1080:ih:0:0) or use zolta-run in a pipe"},
      {64, 46, "", "got 64 x 46; frames pass through unchanged"},
      {68, kHeight, "pad=ceil(iw/16)*16:ih,frei0r=zolta,crop=68:ih:0:0", ""},
      {1080, 8, "pad=ceil(iw/16)*16:ih,frei0r=zolta,crop=1080:ih:0:0", ""},
  };
  for (const auto& c : cases) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    SCOPED_TRACE(size + " " + c.filter);
    const size_t frame = size_t{static_cast<unsigned>(c.width)} * c.height * 4;
    Bytes frames = noisy_samples(frame * kFrames, 13);
    write_file(dir.path("in.raw"), frames);
    std::remove(dir.path("out.raw").c_str());
    std::string output;
    const int status = run_command(
        ffmpeg() + " -f rawvideo -pix_fmt bgra -s " + size + " -i '" + dir.path("in.raw") +
            "' -vf \"" + (*c.filter ? c.filter : "frei0r=filter_name=zolta") +
            "\" -f rawvideo -pix_fmt bgra '" + dir.path("out.raw") + "'",
        &output);
    const Bytes got = read_file(dir.path("out.raw"));
    if (std::string(c.message).find("pads") != std::string::npos ||
        std::string(c.message).find("crop") != std::string::npos) {
      EXPECT_NE(status, 0);
      EXPECT_NE(output.find(c.message), std::string::npos) << output;
      EXPECT_NE(output.find("Impossible to load frei0r instance"), std::string::npos) << output;
      EXPECT_TRUE(got.empty());
      continue;
    }
    ASSERT_EQ(status, 0) << output;
    if (*c.message) {  // refused by the engine: unchanged
      EXPECT_NE(output.find(c.message), std::string::npos) << output;
      EXPECT_TRUE(got == frames);
      continue;
    }
    EXPECT_EQ(output, "");
    ASSERT_EQ(got.size(), frames.size());
    if (!*c.filter) {
      EXPECT_TRUE(got == reference_bgra(frames, c.width, c.height,
                                        settings_for_noise(10, ZOLTA_FAMILY_RGB)));
      continue;
    }
    // pad's black (opaque) to the next multiple of 16 on the right.
    const int padded = (c.width + 15) / 16 * 16;
    Bytes wide(size_t{static_cast<unsigned>(padded)} * c.height * 4 * kFrames);
    for (size_t row = 0; row < size_t{kFrames} * static_cast<unsigned>(c.height); ++row) {
      for (int x = 0; x < padded; ++x) {
        for (int k = 0; k < 4; ++k) {
          wide[(row * padded + x) * 4 + k] =
              x < c.width ? frames[(row * c.width + x) * 4 + k] : (k == 3 ? 255 : 0);
        }
      }
    }
    const Bytes denoised =
        reference_bgra(wide, padded, c.height, settings_for_noise(10, ZOLTA_FAMILY_RGB));
    Bytes want;
    for (size_t row = 0; row < size_t{kFrames} * static_cast<unsigned>(c.height); ++row) {
      const auto at = denoised.begin() + static_cast<long>(row * padded * 4);
      want.insert(want.end(), at, at + c.width * 4);
    }
    EXPECT_TRUE(got == want);
  }
}

TEST(Frei0rFfmpeg, SettingsTheEngineRefusesLetFramesPassThroughWithTheMessage) {
  // frei0r gives a filter no way to refuse a value the host could parse: the
  // frames pass through unchanged and the message goes to standard error.
  TempDir dir;
  const Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * kFrames, 5);
  write_file(dir.path("in.raw"), frames);
  const struct {
    const char* params;
    const char* message;
  } cases[] = {
      {"0.2|Config(1\\, 2)", "is not Config(a, b, c, d, e, f, g, h, i)"},
      {"0.2|1\\,2\\,3", "thresholds takes eighteen integers, not 3"},
      {"0.2||loud", "view must be normal, high or diff, not \"loud\""},
      {"0.2|||5", "plane must be 0, 1 or 2 for this clip, not 5"},
      {"1.5", "sigma must lie in 0..50, not 75"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params);
    std::string output;
    ASSERT_EQ(run_filter(dir, "in.raw", kWidth, kHeight, c.params, "out.raw", &output), 0);
    EXPECT_NE(output.find(c.message), std::string::npos) << output;
    EXPECT_NE(output.find("frames pass through unchanged"), std::string::npos) << output;
    EXPECT_TRUE(read_file(dir.path("out.raw")) == frames);
  }
}
