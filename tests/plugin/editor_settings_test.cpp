// SPDX-License-Identifier: BSD-2-Clause
// The editors' rule for the measured noise and profiles: a settings text
// takes the place of a profile's and a measurement's settings, a profile that
// of a measurement, a measurement that of the noise level; a text beside a
// profile is refused, and a face measures only when the measurement is used.
#include "editor_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin_test_support.h"

namespace {

bool same_thresholds(const zolta_settings& a, const zolta_settings& b) {
  return std::memcmp(a.thresholds, b.thresholds, sizeof a.thresholds) == 0 &&
         std::memcmp(a.temporal_thresholds, b.temporal_thresholds,
                     sizeof a.temporal_thresholds) == 0;
}

}  // namespace

TEST(EditorSettings, MeasuredNoiseAndProfilesTakeTheirPlacesInOrder) {
  const std::string path = testing::TempDir() + "zolta_editor_profile.txt";
  const zolta_noise_model profile_model = correlated_model();
  ASSERT_TRUE(write_profile(profile_model, path.c_str()));
  // Another model, as a face would have measured it.
  zolta_noise_model measured = profile_model;
  for (auto& plane : measured.detail)
    for (auto& direction : plane)
      for (float& v : direction) v += 3;
  zolta_settings from_profile, from_measured, from_config, from_sigma;
  ASSERT_EQ(zolta_settings_for_model(&profile_model, ZOLTA_FAMILY_RGB, &from_profile, nullptr),
            ZOLTA_OK);
  ASSERT_EQ(zolta_settings_for_model(&measured, ZOLTA_FAMILY_RGB, &from_measured, nullptr),
            ZOLTA_OK);
  from_config = settings_from_text(kTestConfig);
  const float sigmas[3] = {6, 6, 6};
  ASSERT_EQ(zolta_settings_for_noise(sigmas, ZOLTA_FAMILY_RGB, &from_sigma, nullptr), ZOLTA_OK);

  struct Case {
    const char* what;
    bool automatic;
    const char* profile;
    const char* settings;
    const char* config;
    bool measures;                   // editor_measures
    const zolta_settings* expected;  // null: refused with `message`
    const char* message;
  };
  const Case cases[] = {
      {"sigma", false, "", "", "", false, &from_sigma, nullptr},
      {"measured", true, "", "", "", true, &from_measured, nullptr},
      {"profile", false, path.c_str(), "", "", false, &from_profile, nullptr},
      {"profile over measured", true, path.c_str(), "", "", false, &from_profile, nullptr},
      {"settings text over measured", true, "", kTestConfig, "", false, &from_config, nullptr},
      {"blank profile", true, " \t", "", "", true, &from_measured, nullptr},
      {"settings text and profile", false, path.c_str(), kTestConfig, "", false, nullptr,
       "give the settings as a settings text or as a profile, not both"},
      {"config and profile", true, path.c_str(), "", kTestConfig, false, nullptr,
       "give the settings as config or as a profile, not both"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EditorValues values;
    values.sigma = 6;
    values.sigma_auto = c.automatic;
    values.profile = c.profile;
    values.settings = c.settings;
    values.config = c.config;
    EXPECT_EQ(editor_measures(values), c.measures);
    if (c.measures) values.measured = &measured;
    zolta_settings got;
    zolta_settings_default(&got, ZOLTA_API_VERSION);
    zolta_error error{};
    const int status = editor_settings(values, ZOLTA_FAMILY_RGB, &got, &error);
    if (!c.expected) {
      EXPECT_EQ(status, ZOLTA_ERROR_ARGUMENT);
      EXPECT_STREQ(error.message, c.message);
      continue;
    }
    ASSERT_EQ(status, ZOLTA_OK) << error.message;
    EXPECT_TRUE(same_thresholds(got, *c.expected));
  }
  // A face that did not measure gets a message, never settings made up.
  EditorValues unmeasured;
  unmeasured.sigma_auto = true;
  zolta_settings got;
  zolta_error error{};
  EXPECT_EQ(editor_settings(unmeasured, ZOLTA_FAMILY_RGB, &got, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "sigma_auto: no frame was measured");
  std::remove(path.c_str());
}
