// SPDX-License-Identifier: BSD-2-Clause
// Settings texts, the command line, the noise generator and output files.
#include "settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "noise.h"
#include "options.h"
#include "output_file.h"
#include "test_files.h"

namespace {

bool parse(std::vector<const char*> args, RunOptions& options, std::string& error) {
  args.insert(args.begin(), "zolta-run");
  return parse_options(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(ConfigText, ParsesNineIntegersAndRefusesEverythingElse) {
  ConfigValues v{};
  std::string error;
  ASSERT_TRUE(parse_config_call("Config(4128, 0, 0, 1, 2, 3, 4, 5, 65535)", v, error)) << error;
  EXPECT_EQ(v, (ConfigValues{4128, 0, 0, 1, 2, 3, 4, 5, 65535}));
  ASSERT_TRUE(parse_config_call(" Config (1,2,3,4,5,6,7,8,9) ; ", v, error)) << error;
  EXPECT_EQ(v[8], 9);
  // Beyond the shapes the codec refuses: values outside 0..65535.
  for (const char* bad : {"Config(1, 2, 3, 4, 5, 6, 7, 8, 65536)",
                          "Config(-1, 2, 3, 4, 5, 6, 7, 8, 9)", "Config(1 2, 3, 4, 5, 6, 7, 8, 9)",
                          "Config(99999999999999999999, 2, 3, 4, 5, 6, 7, 8, 9)", ""}) {
    v = ConfigValues{7, 7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_FALSE(parse_config_call(bad, v, error)) << bad;
    EXPECT_EQ(v[0], 7) << "values changed on failure: " << bad;
  }
  EXPECT_EQ(error.rfind("bad --config \"\": ", 0), 0u) << error;
}

TEST(SavedSettingsText, TakesTheLineAfterTheFirstKeyLine) {
  ConfigValues v{};
  std::string error;
  const std::string text =
      "VirtualDub.audio.SetMode(0);\n"
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
      "VirtualDub.video.filters.instance[3].Config(4112, 1, 2, 3, 4, 5, 6, 7, 8);\n"
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
      "VirtualDub.video.filters.instance[4].Config(9, 9, 9, 9, 9, 9, 9, 9, 9);\n";
  ASSERT_TRUE(parse_settings_text(text, v, error)) << error;
  EXPECT_EQ(v, (ConfigValues{4112, 1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_TRUE(parse_settings_text(
      "quilmer\r\nVirtualDub.video.filters.instance[0].Config(1,2,3,4,5,6,7,8,9,10);\r\n", v,
      error))
      << error;
  EXPECT_EQ(v[8], 9);

  EXPECT_FALSE(parse_settings_text("", v, error));
  EXPECT_NE(error.find("quilmer"), std::string::npos);
  EXPECT_FALSE(parse_settings_text(
      "Quilmer\nVirtualDub.video.filters.instance[0].Config(1,2,3,4,5,6,7,8,9)", v, error));
  EXPECT_FALSE(parse_settings_text("quilmer\nVirtualDub.video.filters.instance[0].Config(1,2,3)\n",
                                   v, error));
  EXPECT_FALSE(parse_settings_text(
      "quilmer\n\nVirtualDub.video.filters.instance[0].Config(1,2,3,4,5,6,7,8,9)\n", v, error));
  EXPECT_NE(error.find("Config"), std::string::npos) << error;
  // Beyond 0..65535 the two legacy readings differ: refused.
  EXPECT_FALSE(parse_settings_text(
      "quilmer\nVirtualDub.video.filters.instance[0].Config(1,2,3,4,5,6,7,8,65536)\n", v, error));
  EXPECT_NE(error.find("0..65535"), std::string::npos) << error;

  // What we write for the plugin is what we read.
  const ConfigValues written{1, 256, 65535, 0, 4112, 7, 8, 9, 10};
  ASSERT_TRUE(parse_settings_text(settings_file_text(written), v, error)) << error;
  EXPECT_EQ(v, written);

  // The largest settings file allowed is read whole. (Files that cannot be
  // settings files: the codec's and SettingsFilesMustBeSmallRegularFiles.)
  const std::string dir = testing::TempDir();
  const std::string longest = dir + "zolta-longest.vcf";
  std::string file = settings_file_text(written);
  file += std::string(static_cast<size_t>(kMaxSettingsFileBytes) - file.size(), ' ');
  write_file(longest, file);
  EXPECT_TRUE(read_settings_file(longest, v, error)) << error;
  write_file(longest, file + " ");
  EXPECT_FALSE(read_settings_file(longest, v, error));
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
  std::remove(longest.c_str());
}

TEST(CommandLine, ParsesOptionsAndRefusesContradictions) {
  RunOptions o;
  std::string error;
  const char* none[] = {"zolta-run"};
  ASSERT_TRUE(parse_options(1, none, o, error));
  EXPECT_TRUE(o.demo);

  ASSERT_TRUE(parse({"--config", "Config(1,2,3,4,5,6,7,8,9)", "--mode=diff", "--plane", "cr",
                     "--show-plane", "--off", "-", "out.png"},
                    o, error))
      << error;
  EXPECT_EQ(o.input, "-");
  EXPECT_EQ(o.output, "out.png");
  EXPECT_EQ(o.mode, 2);
  EXPECT_EQ(o.plane, 2);
  EXPECT_TRUE(o.show_plane && o.off && has_view_options(o));
  ASSERT_TRUE(parse({"--vcf", "a.vcf", "in", "out"}, o, error));
  EXPECT_EQ(o.vcf_path, "a.vcf");
  EXPECT_FALSE(has_view_options(o));
  ASSERT_TRUE(parse({"--", "-weird-name", "out"}, o, error));
  EXPECT_EQ(o.input, "-weird-name");
  ASSERT_TRUE(parse({"--demo", "--out-dir", "d", "--sigma", "5", "--seed", "7"}, o, error));
  EXPECT_EQ(o.out_dir, "d");
  EXPECT_EQ(o.sigma, 5.0);
  EXPECT_EQ(o.seed, 7u);
  // The noise level and the threads of a run.
  ASSERT_TRUE(parse({"--threads", "3", "--sigma", "auto", "in", "out"}, o, error)) << error;
  EXPECT_EQ(o.threads, 3);
  EXPECT_TRUE(o.sigma_given && o.sigma_auto);
  ASSERT_TRUE(parse({"--sigma=12.5", "--mode", "diff", "in", "out"}, o, error)) << error;
  EXPECT_TRUE(o.sigma_given && !o.sigma_auto);
  EXPECT_EQ(o.sigma, 12.5);
  EXPECT_EQ(o.threads, 0);  // every core
  EXPECT_EQ(o.memory_mib, kDefaultMemoryMiB);
  ASSERT_TRUE(parse({"--memory", "512", "in", "out"}, o, error)) << error;
  EXPECT_EQ(o.memory_mib, 512);
  ASSERT_TRUE(parse({"--thresholds", "1,2,3", "in", "out"}, o, error)) << error;
  EXPECT_EQ(o.thresholds_text, "1,2,3");  // checked with the settings, not here
  ASSERT_TRUE(parse({"--estimate", "in.y4m"}, o, error)) << error;
  EXPECT_TRUE(o.estimate);
  EXPECT_EQ(o.input, "in.y4m");

  // Refused (word for word below, and through the program in
  // FailuresSayWhatIsWrongAndLeaveNoOutput with its status).
  const std::vector<std::vector<const char*>> refused = {
      {"in", "out", "extra"},
      {"--vcf", "a", "--config", "Config(0,0,0,0,0,0,0,0,0)", "in", "out"},
      {"--plane", "g", "in", "out"},
      {"--vcf"},
      {"--sigma", "0", "in", "out"},
      {"--sigma", "50.5", "in", "out"},
      {"--sigma", "loud", "in", "out"},
      {"--sigma", "auto", "--config", "Config(0,0,0,0,0,0,0,0,0)", "in", "out"},
      {"--thresholds", "1", "--vcf", "a", "in", "out"},
      {"--threads", "2x", "in", "out"},
      {"--threads", "99999", "in", "out"},
      {"--memory", "0", "in", "out"},
      {"--memory", "2G", "in", "out"},
      {"--estimate", "in", "out"},
      {"--estimate"},
      {"--demo", "--sigma", "auto"},
      {"--demo", "--estimate"},
      {"--demo", "in", "out"},
      {"--demo", "--mode", "diff"},
      {"--demo", "--seed", "x"},
      {"--demo", "--seed", "-1"},  // (" -1": strtoull would take it as 2^64 - 1)
      {"--demo", "--sigma", " 5"},
      // Empty values would mean "not given" and undo an earlier option.
      {"--library=", "in", "out"},
      // Only whole option names, one to an argument.
      {"--sig", "5", "in", "out"},
      {"-h=1"},
      {"--thresholds"},
  };
  for (const auto& args : refused) {
    error.clear();
    EXPECT_FALSE(parse(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
  // Word for word: an abbreviation is an unknown option, and a value's fault
  // names the option as typed.
  const std::vector<std::pair<std::vector<const char*>, const char*>> messages = {
      {{"--thr", "3", "in", "out"}, "unknown option --thr (see zolta-run --help)"},
      {{"-hh"}, "unknown option -hh (see zolta-run --help)"},
      {{"--of=1", "in", "out"}, "unknown option --of (see zolta-run --help)"},
      {{"--off=1", "in", "out"}, "--off takes no value"},
      {{"in", "out", "--vcf"}, "--vcf needs a value"},
      {{"--vcf=", "in", "out"}, "--vcf needs a value, not an empty one"},
      {{"--mode", "loud", "in", "out"}, "--mode must be normal, high or diff, not \"loud\""},
      {{"--threads", "0", "in", "out"}, "--threads must be an integer from 1 to 1024, not \"0\""},
      {{"--sigma", "x", "in", "out"},
       "--sigma must be auto or a number above 0 and at most 50, not \"x\""},
      {{"--sigma", "51", "in", "out"}, "--sigma must be auto or a number above 0 and at most 50"},
      {{"--seed", "1", "in", "out"},
       "--picture, --out-dir, --seed and --demo-config belong to --demo"},
      {{"--demo", "--off"},
       "the demo takes --picture, --out-dir, --sigma, --seed and --demo-config only"},
  };
  for (const auto& [args, message] : messages) {
    error.clear();
    EXPECT_FALSE(parse(args, o, error)) << args[0];
    EXPECT_EQ(error, message);
  }
  // A --sigma out of range names the range of what it means: the input's
  // noise (above), or the noise the demo adds.
  EXPECT_FALSE(parse({"--sigma", "-1", "--demo"}, o, error));
  EXPECT_NE(error.find("from 0 to 255"), std::string::npos) << error;
  EXPECT_FALSE(parse({"--sigma", "-1", "--sigma", "5", "in", "out"}, o, error));
}

TEST(NoiseAndPsnr, SeededGaussianNoiseHasTheRequestedSpread) {
  NoiseSource a = noise_source(42), b = noise_source(42), c = noise_source(43);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(next_bits(a), next_bits(b));
  EXPECT_NE(next_bits(a), next_bits(c));

  NoiseSource g = noise_source(1);
  const int n = 200000;
  double sum = 0, sum2 = 0;
  for (int i = 0; i < n; ++i) {
    const double x = next_gaussian(g);
    sum += x;
    sum2 += x * x;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(std::sqrt(sum2 / n), 1.0, 0.01);

  std::vector<uint8_t> flat(100000, 128), noisy = flat;
  NoiseSource s = noise_source(9);
  add_gaussian_noise(noisy, 10.0, s);
  // PSNR of sigma-10 noise is about 20 log10(255 / 10) = 28.1 dB.
  EXPECT_NEAR(psnr(flat, noisy), 28.13, 0.1);
  std::vector<uint8_t> edges = {0, 255}, copy = edges;
  add_gaussian_noise(copy, 1000.0, s);  // clamps instead of wrapping
  for (uint8_t v : copy) EXPECT_TRUE(v == 0 || v == 255);

  EXPECT_TRUE(std::isinf(psnr(flat, flat)));
  std::vector<uint8_t> x = {0, 0}, y = {0, 255};  // MSE 255^2 / 2
  EXPECT_NEAR(psnr(x, y), 10 * std::log10(2.0), 1e-9);
}

TEST(OutputFile, AppearsUnderItsNameOnlyWhenCommitted) {
  const std::string dir = testing::TempDir();
  const std::string path = dir + "zolta-output-test.bin";
  std::remove(path.c_str());
  OutputFile out;
  std::string error;
  ASSERT_TRUE(open_output(out, path, error)) << error;
  std::fputs("half", out.file);
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(exists(out.temporary));
  const std::string temporary = out.temporary;
  discard_output(out);
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(temporary));

  ASSERT_TRUE(open_output(out, path, error)) << error;
  std::fputs("whole", out.file);
  ASSERT_TRUE(commit_output(out, error)) << error;
  EXPECT_EQ(read_file(path), "whole");
  discard_output(out);  // after commit: harmless, keeps the file
  EXPECT_TRUE(exists(path));
  std::remove(path.c_str());

  // A device is written in place, with nothing beside it.
  ASSERT_TRUE(open_output(out, "/dev/null", error)) << error;
  EXPECT_TRUE(out.temporary.empty());
  std::fputs("gone", out.file);
  EXPECT_TRUE(commit_output(out, error)) << error;
  EXPECT_TRUE(exists("/dev/null"));

  EXPECT_FALSE(open_output(out, "/nonexistent-dir/x.png", error));
  EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
}
