// SPDX-License-Identifier: BSD-2-Clause
// zolta-run --noise-from FILE: measured settings (--sigma auto, --temporal
// without --sigma S) follow FILE's first frames, as if they had opened the
// input; a file that cannot serve is refused before anything is written.
// zolta-run --profile FILE: the settings of a noise profile that --estimate
// --profile-out wrote.
#include <string>
#include <vector>

#include "run_fixture.h"
#include "zolta.h"

namespace {

constexpr int kWidth = 64, kHeight = 32;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;

// `count` frames of a smooth picture with new noise of `sigma` in each.
std::vector<std::string> noisy_frames(int count, double sigma, uint64_t seed) {
  std::vector<uint8_t> base(kFrameBytes);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) base[y * kWidth + x] = static_cast<uint8_t>(60 + x + 2 * y);
  for (size_t i = kWidth * kHeight; i < kFrameBytes; ++i)
    base[i] = static_cast<uint8_t>(110 + i % 5);
  std::vector<std::string> frames;
  NoiseSource noise = noise_source(seed);
  for (int n = 0; n < count; ++n) {
    std::vector<uint8_t> frame = base;
    add_gaussian_noise(frame, sigma, noise);
    frames.emplace_back(frame.begin(), frame.end());
  }
  return frames;
}

std::string y4m_of(const std::vector<std::string>& frames, const char* chroma = "C420jpeg") {
  std::string s = std::string("YUV4MPEG2 W64 H32 F25:1 Ip A1:1 ") + chroma + "\n";
  for (const std::string& f : frames) s += "FRAME\n" + f;
  return s;
}

// The frames of a YUV4MPEG2 file written by zolta-run from `y4m_of` frames.
std::vector<std::string> frames_of(const std::string& y4m) {
  std::vector<std::string> frames;
  size_t at = y4m.find('\n') + 1;
  while (at < y4m.size()) {
    at = y4m.find('\n', at) + 1;
    frames.push_back(y4m.substr(at, kFrameBytes));
    at += kFrameBytes;
  }
  return frames;
}

constexpr char kConfig[] =
    "--config 'Config(12336, 8224, 4112, 12336, 8224, 4112, 12336, 8224, 4112)'";

TEST_F(ZoltaRun, NoiseFromMeasuresAsIfItsFramesHadComeFirst) {
  // Quiet frames to measure, then a noisier stream: a run over both and one
  // over the noisy frames measuring the quiet ones give the same frames
  // wherever the windows reach no quiet frame.
  const std::vector<std::string> quiet = noisy_frames(8, 2.0, 5);
  const std::vector<std::string> loud = noisy_frames(9, 14.0, 6);
  std::vector<std::string> both = quiet;
  both.insert(both.end(), loud.begin(), loud.end());
  write_file(path("quiet.y4m"), y4m_of(quiet));
  write_file(path("loud.y4m"), y4m_of(loud));
  write_file(path("both.y4m"), y4m_of(both));
  const std::string ways[] = {std::string("--temporal 2 ") + kConfig, "--temporal 1 --sigma auto",
                              "--sigma auto"};
  for (const std::string& way : ways) {
    const std::string z = "$Z " + way + " ";
    ASSERT_EQ(run(z + "both.y4m both-out.y4m && " + z +
                  "--noise-from quiet.y4m loud.y4m from.y4m && " + z + "loud.y4m alone.y4m"),
              0)
        << way << ": " << stderr_;
    const std::vector<std::string> whole = frames_of(read_file(path("both-out.y4m")));
    const std::vector<std::string> from = frames_of(read_file(path("from.y4m")));
    ASSERT_EQ(whole.size(), both.size()) << way;
    ASSERT_EQ(from.size(), loud.size()) << way;
    for (size_t n = 2; n + 2 < loud.size(); ++n)
      EXPECT_TRUE(from[n] == whole[quiet.size() + n]) << way << ", frame " << n;
    EXPECT_FALSE(read_file(path("from.y4m")) == read_file(path("alone.y4m")))
        << way << ": the quiet frames were not measured";
  }
}

TEST_F(ZoltaRun, NoiseFromIsIgnoredWhereNothingIsMeasured) {
  write_file(path("quiet.y4m"), y4m_of(noisy_frames(3, 2.0, 7)));
  write_file(path("loud.y4m"), y4m_of(noisy_frames(4, 14.0, 8)));
  ASSERT_EQ(run("$Z --temporal 1 --sigma 9 --noise-from quiet.y4m loud.y4m from.y4m && "
                "$Z --temporal 1 --sigma 9 loud.y4m plain.y4m"),
            0)
      << stderr_;
  EXPECT_TRUE(read_file(path("from.y4m")) == read_file(path("plain.y4m")));
}

TEST_F(ZoltaRun, NoiseFromThatCannotServeIsRefused) {
  write_file(path("in.y4m"), y4m_of(noisy_frames(3, 8.0, 9)));
  write_file(path("empty.y4m"), "");
  write_file(path("header.y4m"), y4m_of({}));
  write_file(path("grey.y4m"), "YUV4MPEG2 W64 H32 F25:1 Ip A1:1 Cmono\nFRAME\n" +
                                   std::string(kWidth * kHeight, '\x50'));
  const struct {
    const char* options;
    int status;
    const char* message;
  } cases[] = {
      {"--sigma auto --noise-from missing.y4m", 1, "--noise-from: cannot open missing.y4m"},
      {"--temporal 1 --noise-from empty.y4m", 1, "--noise-from empty.y4m: "},
      {"--sigma auto --noise-from header.y4m", 1, "--noise-from header.y4m holds no frame"},
      {"--sigma auto --noise-from grey.y4m", 1, "holds frames of another kind than INPUT's"},
      {"--temporal 2 --noise-from=grey.y4m", 1, "holds frames of another kind than INPUT's"},
      {"--sigma auto --noise-from ''", 2, "--noise-from needs a value"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(std::string("$Z ") + c.options + " in.y4m out.y4m"), c.status) << c.options;
    EXPECT_NE(stderr_.find(c.message), std::string::npos) << c.options << ": " << stderr_;
    EXPECT_FALSE(exists(path("out.y4m"))) << c.options;
  }
  EXPECT_EQ(run("$Z --estimate --noise-from in.y4m in.y4m"), 2);
  EXPECT_NE(stderr_.find("--estimate measures INPUT"), std::string::npos) << stderr_;
  EXPECT_EQ(run("$Z --demo --noise-from in.y4m"), 2);
  // Every name of standard input, on either side, is refused alike.
  for (const char* names : {"- -", "/dev/stdin -", "/proc/self/fd/0 -", "/dev/fd/0 /dev/stdin",
                            "- /proc/self/fd/0"}) {
    const std::string both(names);
    const std::string from = both.substr(0, both.find(' ')), input = both.substr(both.find(' '));
    EXPECT_EQ(run("cat in.y4m | $Z --sigma auto --noise-from " + from + input + " out.y4m"), 2)
        << names;
    EXPECT_NE(stderr_.find("cannot both be standard input"), std::string::npos)
        << names << ": " << stderr_;
    EXPECT_FALSE(exists(path("out.y4m"))) << names;
  }
  // Standard input for the frames to measure, a file to denoise.
  EXPECT_EQ(run("$Z --sigma auto --noise-from - in.y4m from-stdin.y4m <in.y4m && "
                "$Z --sigma auto in.y4m plain.y4m"),
            0)
      << stderr_;
  EXPECT_TRUE(read_file(path("from-stdin.y4m")) == read_file(path("plain.y4m")));
}

}  // namespace

namespace {

// zolta-run --estimate --profile-out writes the measured model; --profile
// denoises with the settings the library makes of that file, the temporal
// ones included; files that cannot serve are refused before anything is
// written.
TEST_F(ZoltaRun, AProfileWrittenByEstimateDenoisesWithItsSettings) {
  write_file(path("in.y4m"), y4m_of(noisy_frames(10, 6.0, 9)));
  ASSERT_EQ(run("$Z --estimate --profile-out profile.txt in.y4m > report.txt"), 0) << stderr_;
  const std::string profile = read_file(path("profile.txt"));
  EXPECT_EQ(profile.compare(0, 22, "zolta noise profile 1\n"), 0) << profile;
  // The report prints the same model.
  const std::string report = read_file(path("report.txt"));
  EXPECT_NE(report.find(profile.substr(profile.find("\nsigma") + 1, 20)), std::string::npos)
      << report;
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  zolta_error error{};
  ASSERT_EQ(zolta_noise_profile_parse(profile.data(), profile.size(), &model, &error), ZOLTA_OK)
      << error.message;
  zolta_settings settings;
  ASSERT_EQ(zolta_settings_for_model(&model, ZOLTA_FAMILY_YUV420, &settings, &error), ZOLTA_OK);
  std::string thresholds;
  for (int p = 0; p < 3; ++p)
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l)
        thresholds += (thresholds.empty() ? "" : ",") + std::to_string(settings.thresholds[p][d][l]);
  ASSERT_EQ(run("$Z --profile profile.txt in.y4m with-profile.y4m && $Z --thresholds " +
                thresholds + " in.y4m with-thresholds.y4m"),
            0)
      << stderr_;
  EXPECT_TRUE(read_file(path("with-profile.y4m")) == read_file(path("with-thresholds.y4m")));
  // At radius 2 the profile's temporal thresholds count: a profile of other
  // noise gives other frames.
  write_file(path("other.txt"), std::string(profile).replace(profile.find("\nsigma ") + 7, 1, "9"));
  ASSERT_EQ(run("$Z --temporal 2 --profile profile.txt in.y4m t1.y4m && "
                "$Z --temporal 2 --profile other.txt in.y4m t2.y4m"),
            0)
      << stderr_;
  EXPECT_FALSE(read_file(path("t1.y4m")) == read_file(path("t2.y4m")));

  struct Refusal {
    const char* file;
    const char* text;  // written to `file` unless null
    const char* message;
  };
  const Refusal refusals[] = {
      {"missing.txt", nullptr, "cannot open noise profile"},
      {"empty.txt", "", "it is empty"},
      {"version.txt", "zolta noise profile 7\n", "line 1: profile version \"7\""},
      {"grey.txt", "zolta noise profile 1\nplanes 1\nsigma 2\ndetail 0 x 1 1 1\n"
                   "detail 0 y 1 1 1\ncurve 0 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n",
       "the noise model has 1 planes"},
  };
  for (const Refusal& r : refusals) {
    if (r.text) write_file(path(r.file), r.text);
    EXPECT_EQ(run(std::string("$Z --profile ") + r.file + " in.y4m refused.y4m"), 1) << r.file;
    EXPECT_NE(stderr_.find(r.message), std::string::npos) << stderr_;
    EXPECT_NE(stderr_.find("--profile"), std::string::npos) << stderr_;
    EXPECT_FALSE(exists(path("refused.y4m"))) << r.file;
  }
  EXPECT_EQ(run("$Z --estimate --profile-out no/such/dir/p.txt in.y4m"), 1);
  EXPECT_NE(stderr_.find("--profile-out: cannot write"), std::string::npos) << stderr_;
  EXPECT_EQ(run("$Z --profile-out p.txt in.y4m out.y4m"), 2);
  EXPECT_EQ(run("$Z --profile profile.txt --noise-from in.y4m in.y4m out.y4m"), 2);
  // A noise given as --sigma S is that noise: the profile is not used.
  ASSERT_EQ(run("$Z --profile other.txt --sigma 4 in.y4m s1.y4m && $Z --sigma 4 in.y4m s2.y4m"), 0)
      << stderr_;
  EXPECT_TRUE(read_file(path("s1.y4m")) == read_file(path("s2.y4m")));
}

}  // namespace
