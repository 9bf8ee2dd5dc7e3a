// SPDX-License-Identifier: BSD-2-Clause
// The settings arguments that both hosts share: exactly one way of giving the
// thresholds, each way reaching the engine's own reading, and the views.
#include "settings_args.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>
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

void set_list(SettingsArgs& a, ParamId id, std::initializer_list<int64_t> values) {
  a[id].given = true;
  a[id].count = static_cast<int>(values.size());
  int i = 0;
  for (int64_t v : values)
    if (i < kParamMaxValues) a[id].ints[i++] = v;
}

SettingsArgs config_args(std::initializer_list<int64_t> values) {
  SettingsArgs a;
  set_list(a, kParamConfig, values);
  return a;
}

void set_text(SettingsArgs& a, ParamId id, const char* text) {
  a[id].given = true;
  a[id].count = 1;
  a[id].text = text;
}

void set_number(SettingsArgs& a, ParamId id, double v) {
  a[id].given = true;
  a[id].count = 1;
  a[id].number = v;
  a[id].ints[0] = static_cast<int64_t>(v);
}

TEST(SettingsArgs, TheNineIntegersAndTheTextGiveTheSameSettings) {
  zolta_settings from_ints, from_text;
  SettingsArgs ints = config_args({49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224});
  ASSERT_EQ(run(ints, &from_ints).code, ZOLTA_OK);
  SettingsArgs text;
  set_text(text, kParamConfigText, kTestConfig);
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
  set_number(two, kParamSigma, 5);
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
  set_text(text, kParamConfigText, "Config(1, 2, 3)");
  zolta_error e = run(text, &s);
  EXPECT_EQ(e.code, zolta_config_parse("Config(1, 2, 3)", packed, &engine));
  EXPECT_STREQ(e.message, engine.message);

  SettingsArgs file;
  set_text(file, kParamVcf, "no-such-directory/settings.vcf");
  e = run(file, &s);
  EXPECT_EQ(e.code, zolta_settings_file_read("no-such-directory/settings.vcf", packed, &engine));
  EXPECT_STREQ(e.message, engine.message);

  SettingsArgs sigma;
  set_number(sigma, kParamSigma, 80);
  const float sigmas[3] = {80, 80, 80};
  e = run(sigma, &s);
  EXPECT_EQ(e.code, zolta_settings_for_sigma(sigmas, ZOLTA_FAMILY_YUV420, &s, &engine));
  EXPECT_STREQ(e.message, engine.message);
}

TEST(SettingsArgs, SigmaGivesThresholdsOnlyAndKeepsTheViews) {
  SettingsArgs a;
  set_number(a, kParamSigma, 10);
  set_text(a, kParamView, "diff");
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
  set_text(a, kParamConfigText, kTestConfig);
  zolta_settings s;
  for (auto [text, view] : {std::pair<const char*, int>{"normal", ZOLTA_VIEW_NORMAL},
                            {"high", ZOLTA_VIEW_HIGH},
                            {"diff", ZOLTA_VIEW_DIFF}}) {
    set_text(a, kParamView, text);
    ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
    EXPECT_EQ(s.view, view);
    EXPECT_EQ(s.show_plane, 0);
  }
  set_text(a, kParamView, "High");
  EXPECT_EQ(run(a, &s).code, ZOLTA_ERROR_ARGUMENT);
  a[kParamView] = ArgValue();
  set_number(a, kParamPlane, 2);
  ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
  EXPECT_EQ(s.plane, 2);
  EXPECT_EQ(s.show_plane, 1);
  for (int64_t bad : {int64_t{-1}, int64_t{3}, int64_t{1} << 33}) {
    a[kParamPlane].ints[0] = bad;
    EXPECT_EQ(run(a, &s).code, ZOLTA_ERROR_ARGUMENT) << bad;
  }
  a[kParamPlane].ints[0] = 1;
  const zolta_error e = run(a, &s, ZOLTA_FAMILY_GRAY);
  EXPECT_EQ(e.code, ZOLTA_ERROR_ARGUMENT);
  EXPECT_NE(std::string(e.message).find("plane must be 0 for this clip"), std::string::npos);
}

TEST(SettingsArgs, EighteenThresholdsGoInAsTheyAre) {
  SettingsArgs a;
  set_list(a, kParamThresholds, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 4095});
  set_text(a, kParamView, "high");
  zolta_settings s;
  ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
  const int32_t* t = &s.thresholds[0][0][0];
  for (int i = 0; i < 17; ++i) EXPECT_EQ(t[i], i);
  EXPECT_EQ(s.thresholds[2][1][2], 4095);  // Cr, along columns, level 2
  EXPECT_EQ(s.view, ZOLTA_VIEW_HIGH);

  // Beyond 255 only this way reaches the engine: the same thresholds as
  // zolta-run's --thresholds.
  set_list(a, kParamThresholds, {300, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(run(a, &s).code, ZOLTA_OK);
  EXPECT_EQ(s.thresholds[0][0][0], 300);
}

TEST(SettingsArgs, ThresholdsAreCountedRangedAndAWayOfTheirOwn) {
  zolta_settings s;
  SettingsArgs a;
  set_list(a, kParamThresholds, {1, 2, 3});
  zolta_error e = run(a, &s);
  EXPECT_EQ(e.code, ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(e.message, "thresholds takes eighteen integers, not 3");
  set_list(a, kParamThresholds, {});
  EXPECT_STREQ(run(a, &s).message, "thresholds takes eighteen integers, not 0");
  for (int64_t bad : {int64_t{4096}, int64_t{-1}, int64_t{1} << 40}) {
    set_list(a, kParamThresholds, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, bad});
    e = run(a, &s);
    EXPECT_EQ(e.code, ZOLTA_ERROR_SETTINGS) << bad;
    EXPECT_NE(std::string(e.message).find("thresholds value 18 ("), std::string::npos) << e.message;
    EXPECT_NE(std::string(e.message).find("0..4095"), std::string::npos) << e.message;
  }
  // With the text, the file, the nine integers or sigma: two ways.
  set_list(a, kParamThresholds, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (ParamId other : {kParamConfig, kParamConfigText, kParamVcf, kParamSigma}) {
    SettingsArgs two = a;
    set_text(two, other, kTestConfig);
    e = run(two, &s);
    EXPECT_EQ(e.code, ZOLTA_ERROR_ARGUMENT) << other;
    EXPECT_STREQ(e.message,
                 "give the settings in exactly one way: config, config_text, vcf, sigma, "
                 "thresholds, profile or sigma_auto (2 given)");
  }
}

TEST(SettingsArgs, AFailureLeavesTheSettingsAsTheyWere) {
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  s.thresholds[1][1][1] = 77;
  const zolta_settings before = s;
  SettingsArgs a;
  set_text(a, kParamConfigText, kTestConfig);
  set_text(a, kParamView, "sideways");
  zolta_error e;
  EXPECT_NE(settings_from_args(a, ZOLTA_FAMILY_YUV444, &s, &e), ZOLTA_OK);
  EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
}

}  // namespace

namespace {

// A noise profile as a plugin argument: the settings the library makes of
// its model for the clip's family, temporal fields included; a profile that
// cannot serve fails with the library's message.
TEST(SettingsArgs, AProfileGivesItsModelsSettings) {
  const std::string good = testing::TempDir() + "zolta_plugin_profile.txt";
  const std::string grey = testing::TempDir() + "zolta_plugin_grey_profile.txt";
  const char* bands = " 4 4 4 4 5 5 5 5 6 6 6 6 7 7 7 7\n";
  std::string text = "zolta noise profile 1\nplanes 3\nsigma 4 3 3\n";
  for (int p = 0; p < 3; ++p) {
    text += "detail " + std::to_string(p) + " x 2 4 6\ndetail " + std::to_string(p) +
            " y 2 4 6\ncurve " + std::to_string(p) + bands;
  }
  const std::string grey_text = "zolta noise profile 1\nplanes 1\nsigma 4\ndetail 0 x 2 4 6\n"
                                "detail 0 y 2 4 6\ncurve 0" + std::string(bands);
  for (const auto& [path, body] : {std::pair{good, text}, std::pair{grey, grey_text}}) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(body.c_str(), f);
    std::fclose(f);
  }
  struct Case {
    const std::string* path;
    int32_t family;
    int code;
  };
  const std::string missing = testing::TempDir() + "no-such-profile.txt";
  const Case cases[] = {{&good, ZOLTA_FAMILY_YUV420, ZOLTA_OK},
                        {&good, ZOLTA_FAMILY_GRAY, ZOLTA_OK},
                        {&grey, ZOLTA_FAMILY_GRAY, ZOLTA_OK},
                        {&grey, ZOLTA_FAMILY_RGB, ZOLTA_ERROR_ARGUMENT},
                        {&missing, ZOLTA_FAMILY_YUV420, ZOLTA_ERROR_FILE_OPEN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(*c.path + " family " + std::to_string(c.family));
    SettingsArgs a;
    set_text(a, kParamPluginProfile, c.path->c_str());
    set_text(a, kParamView, "diff");
    zolta_settings s;
    const zolta_error e = run(a, &s, c.family);
    ASSERT_EQ(e.code, c.code) << e.message;
    zolta_noise_model model;
    zolta_noise_model_default(&model, ZOLTA_API_VERSION);
    zolta_error engine{};
    int code = zolta_noise_profile_read(c.path->c_str(), &model, &engine);
    zolta_settings expected;
    if (code == ZOLTA_OK) code = zolta_settings_for_model(&model, c.family, &expected, &engine);
    EXPECT_EQ(code, c.code);
    if (c.code != ZOLTA_OK) {
      EXPECT_STREQ(e.message, engine.message);
      continue;
    }
    EXPECT_EQ(std::memcmp(s.thresholds, expected.thresholds, sizeof s.thresholds), 0);
    EXPECT_EQ(std::memcmp(s.temporal_thresholds, expected.temporal_thresholds,
                          sizeof s.temporal_thresholds),
              0);
    EXPECT_EQ(std::memcmp(s.brightness_gains, expected.brightness_gains, sizeof s.brightness_gains),
              0);
    EXPECT_NE(s.brightness_gains[0][0], 0) << "the curve's gains";
    EXPECT_EQ(s.view, ZOLTA_VIEW_DIFF);
    // The coarse levels hold more noise than a sample: they get more.
    EXPECT_GT(s.thresholds[0][0][2], 0);
  }
  // With another way: two ways.
  SettingsArgs two;
  set_text(two, kParamPluginProfile, good.c_str());
  set_number(two, kParamSigma, 5);
  zolta_settings s;
  EXPECT_NE(std::string(run(two, &s).message).find("(2 given)"), std::string::npos);
  std::remove(good.c_str());
  std::remove(grey.c_str());
}

}  // namespace
