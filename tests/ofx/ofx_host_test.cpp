// SPDX-License-Identifier: BSD-2-Clause
// zolta.ofx in a host built on the OpenFX SDK's HostSupport: found on the
// plugin path, described, created in the filter context, given parameter
// values and rendered, every output compared byte for byte with the
// library's own output for the same frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ofx_test_host.h"
#include "ofx_test_pictures.h"

namespace {

const char kId[] = "org.zolta.denoise";

class OfxHost : public ::testing::Test {
 protected:
  void SetUp() override { use_build_plugin_path(); }
};

// One frame of a clip through the effect, rendered as a whole picture.
TestPicture render_one(TestEffect& effect, double time) {
  TestPicture out;
  EXPECT_EQ(effect.render(time, &out), 0);
  return out;
}

struct LayoutCase {
  int components;
  int bits;
  TestLayout source;
  TestLayout output;
};

}  // namespace

TEST_F(OfxHost, FindsTheBundleOnThePluginPathAndDescribesTheParameters) {
  TestHost host;
  const std::string bundle = host.bundle_path(kId);
  EXPECT_EQ(bundle, ofx_plugin_path() + "/zolta.ofx.bundle");
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  const std::vector<std::string> names = effect->param_names();
  for (const char* name : {"sigma", "temporal", "view", "plane", "settings", "thresholds",
                           "thresholds_y_rows_0", "thresholds_cr_columns_2"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  // Sigma, temporal, view, plane, settings, the group and its eighteen,
  // sigma_auto and profile.
  EXPECT_EQ(names.size(), 26u);
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(OfxHost, EveryDepthAndLayoutGivesTheLibrarysBytes) {
  const TestLayout up;                              // rows bottom-up, no padding
  const TestLayout down = {true, 12, 0, 0};         // top-down (negative row bytes), padded rows
  const TestLayout away = {false, 4, -30, 17};      // bounds away from the origin
  const TestLayout away_down = {true, 0, -30, 17};  // both
  std::vector<LayoutCase> cases;
  for (int components : {4, 3}) {
    for (int bits : {8, 16, 32}) {
      cases.push_back({components, bits, up, up});
      cases.push_back({components, bits, down, up});
      cases.push_back({components, bits, away, away_down});
    }
  }
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  ASSERT_TRUE(effect->set_double("sigma", 12));
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE("components " + std::to_string(c.components) + ", bits " + std::to_string(c.bits) +
                 ", top-down " + std::to_string(c.source.top_down) + "/" +
                 std::to_string(c.output.top_down));
    const std::vector<TestPicture> clip = test_clip(1, 64, 36, c.components, c.bits);
    effect->set_clip(clip);
    effect->set_layout(c.source, c.output);
    const TestPicture out = render_one(*effect, 0);
    EXPECT_EQ(first_difference(library_output_for_sigma(clip, 0, 12, 0), out), "");
    EXPECT_EQ(effect->images_held(), 0);
  }
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(OfxHost, TemporalRadiusTwoGivesTheLibrarysWindowsInAPass) {
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  ASSERT_TRUE(effect->set_double("sigma", 10));
  ASSERT_TRUE(effect->set_int("temporal", 2));
  for (int bits : {8, 32}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    const int frames = 7;
    const std::vector<TestPicture> clip = test_clip(frames, 48, 32, 4, bits);
    effect->set_clip(clip, 0);
    std::vector<TestPicture> outputs;
    ASSERT_EQ(effect->render_pass(0, frames - 1, &outputs), 0);
    ASSERT_EQ(outputs.size(), static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n)
      EXPECT_EQ(first_difference(library_output_for_sigma(clip, n, 10, 2), outputs[n]), "") << n;
    // Every image fetched was released, and none outside the clip asked for.
    EXPECT_EQ(effect->images_held(), 0);
    for (double t : effect->fetched_times()) {
      EXPECT_GE(t, 0);
      EXPECT_LE(t, frames - 1);
    }
  }
  // Out of order, alone: the same bytes.
  const std::vector<TestPicture> clip = test_clip(7, 48, 32, 3, 16);
  effect->set_clip(clip, 0);
  for (int n : {5, 0, 3}) {
    EXPECT_EQ(first_difference(library_output_for_sigma(clip, n, 10, 2), render_one(*effect, n)),
              "")
        << n;
  }
}

TEST_F(OfxHost, FramesNeededAreTheWindowInsideTheClip) {
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  effect->set_clip(test_clip(6, 16, 16, 4, 8), 10);  // frames 10..15
  struct Case {
    int radius;
    double time, first, last;
  };
  const Case cases[] = {{0, 12, 12, 12}, {1, 10, 10, 11}, {2, 10, 10, 12}, {2, 12, 10, 14},
                        {2, 13, 11, 15}, {2, 15, 13, 15}, {1, 15, 14, 15}};
  for (const Case& c : cases) {
    ASSERT_TRUE(effect->set_int("temporal", c.radius));
    double range[2] = {-1, -1};
    EXPECT_EQ(effect->frames_needed(c.time, range), 0);
    EXPECT_EQ(range[0], c.first) << c.radius << " at " << c.time;
    EXPECT_EQ(range[1], c.last) << c.radius << " at " << c.time;
  }
  // sigma_auto asks for the clip's first frames as well until it has
  // measured them.
  ASSERT_TRUE(effect->set_int("temporal", 0));
  ASSERT_TRUE(effect->set_bool("sigma_auto", true));
  EXPECT_EQ(effect->frames_needed_ranges(13), (std::vector<double>{13, 13, 10, 15}));
  TestPicture measured;
  ASSERT_EQ(effect->render(13, &measured), 0);
  EXPECT_EQ(effect->frames_needed_ranges(13), (std::vector<double>{13, 13}));
  ASSERT_TRUE(effect->set_bool("sigma_auto", false));
  // A clip that does not start at 0 renders the same windows.
  ASSERT_TRUE(effect->set_int("temporal", 2));
  const std::vector<TestPicture> clip = test_clip(6, 16, 16, 4, 8);
  effect->set_clip(clip, 10);
  TestPicture out;
  ASSERT_EQ(effect->render(15, &out), 0);
  EXPECT_EQ(first_difference(library_output_for_sigma(clip, 5, 10, 2), out), "");
}

TEST_F(OfxHost, ParametersReachTheSettings) {
  const std::vector<TestPicture> clip = test_clip(2, 32, 24, 4, 8);
  zolta_settings config{};
  zolta_settings_default(&config, ZOLTA_API_VERSION);
  int32_t packed[9];
  zolta_error error{};
  ASSERT_EQ(
      zolta_config_parse("Config(10248, 4104, 514, 8456, 4104, 0, 8456, 4104, 0)", packed, &error),
      ZOLTA_OK);
  ASSERT_EQ(zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &config, &error), ZOLTA_OK);
  zolta_settings by_hand = config;
  for (auto& plane : by_hand.thresholds)
    for (auto& direction : plane)
      for (int32_t& v : direction) v = 0;
  by_hand.thresholds[1][1][0] = 300;  // Cb along columns, level 0
  by_hand.thresholds[0][0][2] = 90;   // Y along rows, level 2
  const float sigmas[3] = {7, 7, 7};
  zolta_settings diff{};
  ASSERT_EQ(zolta_settings_for_noise(sigmas, ZOLTA_FAMILY_RGB, &diff, &error), ZOLTA_OK);
  diff.view = ZOLTA_VIEW_DIFF;
  zolta_settings high_cb = diff;
  high_cb.view = ZOLTA_VIEW_HIGH;
  high_cb.plane = 1;
  high_cb.show_plane = 1;
  zolta_settings off = diff;
  off.view = ZOLTA_VIEW_NORMAL;
  off.enabled = 0;

  // Thresholds by hand with the temporal step: its thresholds from sigma.
  zolta_settings by_hand_temporal = by_hand;
  std::memcpy(by_hand_temporal.temporal_thresholds, diff.temporal_thresholds,
              sizeof diff.temporal_thresholds);
  std::memcpy(by_hand_temporal.temporal_spatial_share, diff.temporal_spatial_share,
              sizeof diff.temporal_spatial_share);
  std::memcpy(by_hand_temporal.temporal_restore, diff.temporal_restore,
              sizeof diff.temporal_restore);

  struct Case {
    const char* name;
    void (*set)(TestEffect&);
    const zolta_settings* expected;
    int radius = 0;
  };
  const Case cases[] = {
      {"settings text",
       [](TestEffect& e) {
         e.set_string("settings", " Config(10248, 4104, 514, 8456, 4104, 0, 8456, 4104, 0) ");
       },
       &config},
      {"two thresholds by hand",
       [](TestEffect& e) {
         e.set_int("thresholds_cb_columns_0", 300);
         e.set_int("thresholds_y_rows_2", 90);
       },
       &by_hand},
      {"the difference view", [](TestEffect& e) { e.set_int("view", 2); }, &diff},
      {"the high view of Cb",
       [](TestEffect& e) {
         e.set_int("view", 1);
         e.set_int("plane", 2);
       },
       &high_cb},
      {"sigma 0 lets frames pass", [](TestEffect& e) { e.set_double("sigma", 0); }, &off},
      {"a settings text over thresholds by hand",
       [](TestEffect& e) {
         e.set_int("thresholds_cb_columns_0", 300);
         e.set_string("settings", "Config(10248, 4104, 514, 8456, 4104, 0, 8456, 4104, 0)");
       },
       &config},
      {"thresholds by hand, temporal 1",
       [](TestEffect& e) {
         e.set_int("thresholds_cb_columns_0", 300);
         e.set_int("thresholds_y_rows_2", 90);
         e.set_int("temporal", 1);
       },
       &by_hand_temporal, 1},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TestEffect> effect = host.create(kId);
    ASSERT_TRUE(effect);
    effect->set_clip(clip);
    ASSERT_TRUE(effect->set_double("sigma", 7));
    c.set(*effect);
    EXPECT_EQ(
        first_difference(library_output(clip, 1, *c.expected, c.radius), render_one(*effect, 1)),
        "");
  }
  // Sigma 0 is the input itself.
  std::unique_ptr<TestEffect> effect = host.create(kId);
  effect->set_clip(clip);
  effect->set_double("sigma", 0);
  EXPECT_EQ(first_difference(clip[0], render_one(*effect, 0)), "");
  // An animated sigma: each frame with its own.
  effect->set_double_at("sigma", 0, 4);
  effect->set_double_at("sigma", 1, 20);
  EXPECT_EQ(first_difference(library_output_for_sigma(clip, 0, 4, 0), render_one(*effect, 0)), "");
  EXPECT_EQ(first_difference(library_output_for_sigma(clip, 1, 20, 0), render_one(*effect, 1)), "");
  EXPECT_TRUE(host.messages().empty());
}

// sigma_auto measures the source clip's first 8 frames (all of a shorter
// clip) once; a profile gives its model's settings; a profile beside a
// settings text, or one that cannot be read, is the host's error message.
TEST_F(OfxHost, SigmaAutoAndProfileGiveTheSettingsOfTheirModel) {
  TestHost host;
  const std::string profile = "zolta-ofx-test.profile";
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  model.planes = 3;
  for (int p = 0; p < 3; ++p) {
    model.sigma[p] = 4;
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l) model.detail[p][d][l] = 2.0f + 3.0f * static_cast<float>(l);
    for (float& c : model.curve[p]) c = 5;
  }
  {
    char text[4096];
    const size_t length = zolta_noise_profile_format(&model, text, sizeof text);
    FILE* file = std::fopen(profile.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(text, 1, length, file), length);
    std::fclose(file);
  }
  zolta_settings from_profile{};
  ASSERT_EQ(zolta_settings_for_model(&model, ZOLTA_FAMILY_RGB, &from_profile, nullptr), ZOLTA_OK);
  const std::vector<TestPicture> long_clip = test_clip(10, 32, 24, 4, 8);
  const std::vector<TestPicture> short_clip = test_clip(3, 32, 24, 3, 16);
  const zolta_settings from_long = settings_of_clip_model(long_clip, 8);
  const zolta_settings from_short = settings_of_clip_model(short_clip, 3);
  struct Case {
    const char* name;
    const std::vector<TestPicture>* clip;
    bool automatic;
    const char* profile;
    const char* settings;
    const zolta_settings* expected;  // null: refused with `message`
    const char* message;
  };
  const Case cases[] = {
      {"auto", &long_clip, true, "", "", &from_long, nullptr},
      {"auto, a short clip", &short_clip, true, "", "", &from_short, nullptr},
      {"profile", &long_clip, false, profile.c_str(), "", &from_profile, nullptr},
      {"profile over auto", &long_clip, true, profile.c_str(), "", &from_profile, nullptr},
      {"profile and a settings text", &long_clip, false, profile.c_str(),
       "Config(10248, 4104, 514, 8456, 4104, 0, 8456, 4104, 0)", nullptr,
       "give the settings as a settings text or as a profile, not both"},
      {"unreadable profile", &long_clip, false, "no-such-dir/camera.profile", "", nullptr,
       "cannot open noise profile \"no-such-dir/camera.profile\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TestEffect> effect = host.create(kId);
    ASSERT_TRUE(effect);
    effect->set_clip(*c.clip);
    ASSERT_TRUE(effect->set_bool("sigma_auto", c.automatic));
    ASSERT_TRUE(effect->set_string("profile", c.profile));
    ASSERT_TRUE(effect->set_string("settings", c.settings));
    const int last = static_cast<int>(c.clip->size()) - 1;
    for (int n : {last, 0}) {
      TestPicture out;
      if (!c.expected) {
        EXPECT_NE(effect->render(n, &out), 0);
        continue;
      }
      ASSERT_EQ(effect->render(n, &out), 0);
      EXPECT_EQ(first_difference(library_output(*c.clip, n, *c.expected, 0), out), "") << n;
    }
    if (c.message) {
      bool found = false;
      for (const TestMessage& m : host.messages())
        found = found || m.text.find(c.message) != std::string::npos;
      EXPECT_TRUE(found) << c.message;
    }
  }
  std::remove(profile.c_str());
}

TEST_F(OfxHost, AProxyRenderGetsTheSettingsOfItsScale) {
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  ASSERT_TRUE(effect->set_double("sigma", 16));
  // The host's half-size frames: noise of half the spread.
  const std::vector<TestPicture> half = test_clip(1, 32, 20, 4, 16);
  effect->set_clip(half);
  TestPicture out;
  ASSERT_EQ(effect->render(0, &out, nullptr, 0.5), 0);
  EXPECT_EQ(first_difference(library_output_for_sigma(half, 0, 8, 0), out), "");
  // Thresholds by hand are halved too (each above 0 stays at least 1).
  ASSERT_TRUE(effect->set_int("thresholds_y_rows_0", 200));
  ASSERT_TRUE(effect->set_int("thresholds_cr_rows_1", 1));
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  settings.thresholds[0][0][0] = 100;
  settings.thresholds[2][0][1] = 1;
  ASSERT_EQ(effect->render(0, &out, nullptr, 0.5), 0);
  EXPECT_EQ(first_difference(library_output(half, 0, settings, 0), out), "");
}

TEST_F(OfxHost, ARenderWindowWritesOnlyItsPixels) {
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  ASSERT_TRUE(effect->set_double("sigma", 12));
  const TestLayout away = {true, 8, 100, -40};
  for (int bits : {8, 32}) {
    const std::vector<TestPicture> clip = test_clip(1, 40, 24, 4, bits);
    effect->set_clip(clip);
    effect->set_layout(away, away);
    const int window[4] = {5, 3, 31, 20};  // x1, y1, x2, y2 from the bounds' bottom left
    TestPicture out;
    ASSERT_EQ(effect->render(0, &out, window), 0);
    const TestPicture expected = library_output_for_sigma(clip, 0, 12, 0);
    const size_t pixel = static_cast<size_t>(4 * bits / 8);
    int inside = 0, outside = 0;
    for (int y = 0; y < out.height; ++y) {
      const int from_bottom = out.height - 1 - y;
      for (int x = 0; x < out.width; ++x) {
        const size_t at = (static_cast<size_t>(y) * out.width + x) * pixel;
        const bool in =
            x >= window[0] && x < window[2] && from_bottom >= window[1] && from_bottom < window[3];
        for (size_t b = 0; b < pixel; ++b) {
          if (in)
            inside += out.bytes[at + b] != expected.bytes[at + b];
          else
            outside += out.bytes[at + b] != 0xA5;  // the host's fill, untouched
        }
      }
    }
    EXPECT_EQ(inside, 0) << bits;
    EXPECT_EQ(outside, 0) << bits;
  }
}

TEST_F(OfxHost, FieldsAreDenoisedAsThePicturesTheHostGives) {
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  ASSERT_TRUE(effect->set_double("sigma", 9));
  // A single field of a 48 x 64 frame: 48 x 32.
  const std::vector<TestPicture> field = test_clip(1, 48, 32, 3, 8);
  effect->set_clip(field);
  for (const char* which : {"OfxFieldLower", "OfxFieldUpper"}) {
    TestPicture out;
    ASSERT_EQ(effect->render(0, &out, nullptr, 1.0, which), 0);
    EXPECT_EQ(first_difference(library_output_for_sigma(field, 0, 9, 0), out), "") << which;
  }
}

TEST_F(OfxHost, TheFrameIsSplitOverNoMoreThreadsThanTheHostGives) {
  const std::vector<TestPicture> clip = test_clip(1, 64, 128, 4, 32);
  const TestPicture expected = library_output_for_sigma(clip, 0, 12, 0);
  for (unsigned threads : {1u, 3u}) {
    TestHost host(TestFaults(), threads);
    std::unique_ptr<TestEffect> effect = host.create(kId);
    ASSERT_TRUE(effect);
    effect->set_double("sigma", 12);
    effect->set_clip(clip);
    EXPECT_EQ(first_difference(expected, render_one(*effect, 0)), "") << threads;
    EXPECT_LE(host.most_threads(), threads);
    if (threads > 1) {
      EXPECT_GT(host.most_threads(), 1u);
    }
  }
}
