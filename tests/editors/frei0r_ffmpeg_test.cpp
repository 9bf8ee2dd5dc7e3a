// The frei0r module in Debian's ffmpeg (-vf frei0r, found through
// FREI0R_PATH): frame for frame the library's bytes for the same BGRA frames,
// alpha as it came in, zolta-run's bytes for the same RGB pictures, and the
// host's error with no output for what it refuses.
#include <gtest/gtest.h>

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
  const char* params;  // ffmpeg's filter_params; commas escaped for its filter graph
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
  // A frame size the engine refuses: the instance is not made, and ffmpeg stops.
  write_file(dir.path("odd.raw"), noisy_samples(size_t{62} * kHeight * 4 * kFrames, 3));
  EXPECT_NE(run_filter(dir, "odd.raw", 62, kHeight, "", "odd-out.raw", &output), 0);
  EXPECT_NE(output.find("zolta: planar RGB needs width and height that are multiples of 4"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Impossible to load frei0r instance"), std::string::npos) << output;
  EXPECT_TRUE(read_file(dir.path("odd-out.raw")).empty());
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
