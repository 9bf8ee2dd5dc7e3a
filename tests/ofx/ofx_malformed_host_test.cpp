// SPDX-License-Identifier: BSD-2-Clause
// A malformed host, one fault at a time: the effect answers with an error
// status and says what is wrong through the host's message suite; it never
// crashes, and keeps no image it fetched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ofx_test_host.h"
#include "ofx_test_pictures.h"

namespace {

const char kId[] = "org.zolta.denoise";

struct FaultCase {
  const char* name;
  TestFaults faults;
  int radius;
  bool created;      // the effect can still be created
  int status;        // of the render
  const char* said;  // in the message; null: no message
};

bool said(const TestHost& host, const char* text) {
  for (const TestMessage& m : host.messages())
    if (m.type == "OfxMessageError" && m.text.find(text) != std::string::npos) return true;
  return false;
}

TestFaults missing(std::initializer_list<const char*> suites) {
  TestFaults f;
  for (const char* s : suites) f.missing_suites.insert(s);
  return f;
}

template <class Set>
TestFaults with(Set set) {
  TestFaults f;
  set(f);
  return f;
}

}  // namespace

TEST(OfxMalformedHost, EachFaultGivesAStatusAndAMessage) {
  use_build_plugin_path();
  const FaultCase cases[] = {
      {"no property suite", missing({"OfxPropertySuite"}), 0, false, 0, "OfxPropertySuite"},
      {"no image effect suite", missing({"OfxImageEffectSuite"}), 0, false, 0,
       "OfxImageEffectSuite"},
      {"no parameter suite", missing({"OfxParameterSuite"}), 0, false, 0, "OfxParameterSuite"},
      {"no parameter suite and no message suite", missing({"OfxParameterSuite", "OfxMessageSuite"}),
       0, false, 0, nullptr},
      {"no multithread suite: one thread", missing({"OfxMultiThreadSuite"}), 0, true, 0, nullptr},
      {"render window of doubles", with([](TestFaults& f) { f.window_as_double = true; }), 0, true,
       11, "render window"},
      {"row bytes a double", with([](TestFaults& f) { f.row_bytes_as_double = true; }), 0, true,
       1000, "row bytes"},
      {"half-float images", with([](TestFaults& f) { f.image_depth = "OfxBitDepthHalf"; }), 0, true,
       1000, "OfxBitDepthHalf"},
      {"images of no depth", with([](TestFaults& f) { f.image_depth = "OfxBitDepthNone"; }), 0,
       true, 1000, "OfxBitDepthNone"},
      {"an output of another depth", with([](TestFaults& f) { f.output_depth_differs = true; }), 0,
       true, 1000, "output image"},
      {"an image without pixels", with([](TestFaults& f) { f.null_data = true; }), 0, true, 1000,
       "no pixels"},
      {"no source image", with([](TestFaults& f) { f.no_source_image = true; }), 0, true, 1,
       "no source image"},
      {"no source image, temporal", with([](TestFaults& f) { f.no_source_image = true; }), 2, true,
       1, "no source image"},
      {"no neighbours: the frame alone", with([](TestFaults& f) { f.no_neighbours = true; }), 2,
       true, 0, nullptr},
  };
  const std::vector<TestPicture> clip = test_clip(3, 32, 16, 4, 8);
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestHost host(c.faults);
    std::unique_ptr<TestEffect> effect = host.create(kId);
    ASSERT_EQ(static_cast<bool>(effect), c.created);
    if (effect) {
      effect->set_clip(clip);
      effect->set_double("sigma", 10);
      effect->set_int("temporal", c.radius);
      TestPicture out;
      EXPECT_EQ(effect->render(1, &out), c.status);
      EXPECT_EQ(effect->images_held(), 0);
      if (c.status == 0) {
        // Without neighbours the window is the frame alone.
        zolta_settings settings;
        const float sigmas[3] = {10, 10, 10};
        zolta_error error{};
        ASSERT_EQ(zolta_settings_for_noise(sigmas, ZOLTA_FAMILY_RGB, &settings, &error), ZOLTA_OK);
        const std::vector<TestPicture> alone = {clip[1]};
        EXPECT_EQ(first_difference(library_output(alone, 0, settings, c.radius), out), "");
      }
    }
    if (c.said) {
      EXPECT_TRUE(said(host, c.said))
          << (host.messages().empty() ? "no message" : host.messages()[0].text);
    } else {
      EXPECT_TRUE(host.messages().empty()) << host.messages()[0].text;
    }
  }
}

TEST(OfxMalformedHost, AFrameSizeTheLibraryRefusesIsReported) {
  use_build_plugin_path();
  TestHost host;
  std::unique_ptr<TestEffect> effect = host.create(kId);
  ASSERT_TRUE(effect);
  effect->set_clip(test_clip(1, 30, 18, 4, 8));
  EXPECT_EQ(effect->render(0, nullptr), 1);
  ASSERT_FALSE(host.messages().empty());
  EXPECT_NE(host.messages().back().text.find("zolta: "), std::string::npos);
  // A refused settings text too.
  effect->set_clip(test_clip(1, 32, 16, 4, 8));
  effect->set_string("settings", "Config(1, 2)");
  EXPECT_EQ(effect->render(0, nullptr), 1);
  EXPECT_TRUE(said(host, "Config"));
}
