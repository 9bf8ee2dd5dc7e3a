// The settings arguments that both hosts share: exactly one way of giving the
// thresholds, each way reaching the engine's own reading, and the views.
#include "settings_args.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin_test_support.h"

namespace {

zolta_error run(const SettingsArgs& args, zolta_settings* settings,
                int family = ZOLTA_FAMILY_YUV420) {
  zolta_error error = {};
  zolta_settings_default(settings, ZOLTA_API_VERSION);
  error.code = settings_from_args(args, family, settings, &error);
  return error;
}

SettingsArgs config_args(std::initializer_list<int64_t> values) {
  SettingsArgs a;
  a.has_config = true;
  a.config_count = static_cast<int>(values.size());
  int i = 0;
  for (int64_t v : values)
    if (i < 9) a.config[i++] = v;
  return a;
}

TEST(SettingsArgs, TheNineIntegersAndTheTextGiveTheSameSettings) {
  zolta_settings from_ints, from_text;
  SettingsArgs ints = config_args({49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224});
  ASSERT_EQ(run(ints, &from_ints).code, ZOLTA_OK);
  SettingsArgs text;
  text.config_text = kTestConfig;
  ASSERT_EQ(run(text, &from_text).code, ZOLTA_OK);
  const zolta_settings expected = settings_from_text(kTestConfig);
  EXPECT_EQ(std::memcmp(&from_ints, &expected, sizeof expected), 0);
  EXPECT_EQ(std::memcmp(&from_text, &expected, sizeof expected), 0);
}

TEST(SettingsArgs, ExactlyOneWayOfGivingThresholds) {
  zolta_settings s;
  SettingsArgs none;
  EXPECT_EQ(run(none, &s).code, ZOLTA_ERROR_ARGUMENT);
  SettingsArgs two = config_args({0, 0, 0, 0, 0, 0, 0, 0, 0});
  two.has_sigma = true;
  two.sigma = 5;
  const zolta_error e = run(two, &s);
  EXPECT_EQ(e.code, ZOLTA_ERROR_ARGUMENT);
  EXPECT_NE(std::string(e.message).find("exactly one way"), std::string::npos) << e.message;
  EXPECT_NE(std::string(e.message).find("(2 given)"), std::string::npos) << e.message;
}

TEST(SettingsArgs, ConfigValuesAreCountedAndUnpackedStrictly) {
  zolta_settings s;
  EXPECT_EQ(run(config_args({1, 2, 3}), &s).code, ZOLTA_ERROR_ARGUMENT);
  // Beyond 32 bits is ours to refuse; beyond 0..65535 the strict rule's.
  EXPECT_EQ(run(config_args({0, 0, 0, 0, 0, 0, 0, 0, int64_t{1} << 40}), &s).code,
            ZOLTA_ERROR_SETTINGS);
  int32_t packed[9] = {0, 0, 0, 0, 0, 0, 0, 0, -1};
  zolta_error engine;
  const int code = zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &s, &engine);
  const zolta_error e = run(config_args({0, 0, 0, 0, 0, 0, 0, 0, -1}), &s);
  EXPECT_EQ(e.code, code);
  EXPECT_STREQ(e.message, engine.message);
}

TEST(SettingsArgs, TextFileAndSigmaFailuresAreTheEngines) {
  zolta_settings s;
  int32_t packed[9];
  zolta_error engine;
  SettingsArgs text;
  text.config_text = "Config(1, 2, 3)";
  zolta_error e = run(text, &s);
  EXPECT_EQ(e.code, zolta_config_parse(text.config_text, packed, &engine));
  EXPECT_STREQ(e.message, engine.message);

  SettingsArgs file;
  file.vcf = "no-such-directory/settings.vcf";
  e = run(file, &s);
  EXPECT_EQ(e.code, zolta_settings_file_read(file.vcf, packed, &engine));
  EXPECT_STREQ(e.message, engine.message);

  SettingsArgs sigma;
  sigma.has_sigma = true;
  sigma.sigma = 80;
  const float sigmas[3] = {80, 80, 80};
  e = run(sigma, &s);
  EXPECT_EQ(e.code, zolta_settings_for_sigma(sigmas, ZOLTA_FAMILY_YUV420, &s, &engine));
  EXPECT_STREQ(e.message, engine.message);
}

TEST(SettingsArgs, SigmaGivesThresholdsOnlyAndKeepsTheViews) {
  SettingsArgs a;
  a.has_sigma = true;
  a.sigma = 10;
  a.view = "diff";
  zolta_settings s;
  ASSERT_EQ(run(a, &s, ZOLTA_FAMILY_RGB).code, ZOLTA_OK);
  zolta_settings table;
  const float sigmas[3] = {10, 10, 10};
  zolta_error e;
  // The noise of R, G and B, as zolta-run takes it: lighter settings than the
  // same number taken as the noise of Y, Cb and Cr.
  ASSERT_EQ(zolta_settings_for_noise(sigmas, ZOLTA_FAMILY_RGB, &table, &e), ZOLTA_OK);
  EXPECT_EQ(std::memcmp(s.thresholds, table.thresholds, sizeof s.thresholds), 0);
  zolta_settings planes;
  ASSERT_EQ(zolta_settings_for_sigma(sigmas, ZOLTA_FAMILY_RGB, &planes, &e), ZOLTA_OK);
  EXPECT_LT(s.thresholds[0][0][0], planes.thresholds[0][0][0]);
  EXPECT_EQ(s.view, ZOLTA_VIEW_DIFF);
  EXPECT_EQ(s.enabled, 1);
}

TEST(SettingsArgs, ViewsAndPlanes) {
  SettingsArgs a;
  a.config_text = kTestConfig;
  zolta_settings s;
  for (auto [text, view] : {std::pair<const char*, int>{"normal", ZOLTA_VIEW_NORMAL},
                            {"high", ZOLTA_VIEW_HIGH},
                            {"diff", ZOLTA_VIEW_DIFF}}) {
    a.view = text;
    ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
    EXPECT_EQ(s.view, view);
    EXPECT_EQ(s.show_plane, 0);
  }
  a.view = "High";
  EXPECT_EQ(run(a, &s).code, ZOLTA_ERROR_ARGUMENT);
  a.view = nullptr;
  a.has_plane = true;
  a.plane = 2;
  ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
  EXPECT_EQ(s.plane, 2);
  EXPECT_EQ(s.show_plane, 1);
  for (int64_t bad : {int64_t{-1}, int64_t{3}, int64_t{1} << 33}) {
    a.plane = bad;
    EXPECT_EQ(run(a, &s).code, ZOLTA_ERROR_ARGUMENT) << bad;
  }
  a.plane = 1;
  const zolta_error e = run(a, &s, ZOLTA_FAMILY_GRAY);
  EXPECT_EQ(e.code, ZOLTA_ERROR_ARGUMENT);
  EXPECT_NE(std::string(e.message).find("plane must be 0 for this clip"), std::string::npos);
}

TEST(SettingsArgs, AFailureLeavesTheSettingsAsTheyWere) {
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  s.thresholds[1][1][1] = 77;
  const zolta_settings before = s;
  SettingsArgs a;
  a.config_text = kTestConfig;
  a.view = "sideways";
  zolta_error e;
  EXPECT_NE(settings_from_args(a, ZOLTA_FAMILY_YUV444, &s, &e), ZOLTA_OK);
  EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
}

}  // namespace
