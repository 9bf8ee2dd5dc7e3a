// SPDX-License-Identifier: BSD-2-Clause
// zolta-plugin in the VapourSynth stand-in core: loading, every format equal
// to the engine's own output, frames from several threads, the protocol, and
// every refusal through the map's error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "plugin_test_support.h"
#include "vs_core.h"

using namespace standin_vs;

namespace {

struct VsCase {
  const char* name;
  int family;  // VSColorFamily
  int sample;
  int bits;
  int sub_w;
  int sub_h;
  zolta_family engine_family;
};

const VsCase kCases[] = {
    {"Gray8", cfGray, stInteger, 8, 0, 0, ZOLTA_FAMILY_GRAY},
    {"Gray12", cfGray, stInteger, 12, 0, 0, ZOLTA_FAMILY_GRAY},
    {"GrayS", cfGray, stFloat, 32, 0, 0, ZOLTA_FAMILY_GRAY},
    {"YUV444P8", cfYUV, stInteger, 8, 0, 0, ZOLTA_FAMILY_YUV444},
    {"YUV444P16", cfYUV, stInteger, 16, 0, 0, ZOLTA_FAMILY_YUV444},
    {"YUV444PS", cfYUV, stFloat, 32, 0, 0, ZOLTA_FAMILY_YUV444},
    {"YUV422P8", cfYUV, stInteger, 8, 1, 0, ZOLTA_FAMILY_YUV422},
    {"YUV422P10", cfYUV, stInteger, 10, 1, 0, ZOLTA_FAMILY_YUV422},
    {"YUV420P8", cfYUV, stInteger, 8, 1, 1, ZOLTA_FAMILY_YUV420},
    {"YUV420P9", cfYUV, stInteger, 9, 1, 1, ZOLTA_FAMILY_YUV420},
    {"YUV420P14", cfYUV, stInteger, 14, 1, 1, ZOLTA_FAMILY_YUV420},
    {"YUV420PS", cfYUV, stFloat, 32, 1, 1, ZOLTA_FAMILY_YUV420},
    {"YUV411P8", cfYUV, stInteger, 8, 2, 0, ZOLTA_FAMILY_YUV411},
    {"RGB24", cfRGB, stInteger, 8, 0, 0, ZOLTA_FAMILY_RGB},
    {"RGB30", cfRGB, stInteger, 10, 0, 0, ZOLTA_FAMILY_RGB},
    {"RGBS", cfRGB, stFloat, 32, 0, 0, ZOLTA_FAMILY_RGB},
};

zolta_stream stream_of(const VsCase& c, int width, int height) {
  zolta_stream s;
  s.family = c.engine_family;
  s.sample = c.sample == stFloat ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  s.bits = c.bits;
  s.width = width;
  s.height = height;
  return s;
}

class VsPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(core_.load_plugin(plugin_path_beside_executable(), error)) << error;
  }

  void TearDown() override {
    EXPECT_EQ(core_.live_frames(), 0);
    EXPECT_EQ(core_.live_nodes(), 0);
    const std::vector<std::string> v = core_.violations();
    for (const std::string& what : v) ADD_FAILURE() << "protocol: " << what;
  }

  // A source whose frame n is filled with content seeded by n and the plane.
  VSNode* source(const VsCase& c, int width, int height, int frames) {
    const zolta_stream stream = stream_of(c, width, height);
    return core_.source(vs_format_id(c.family, c.sample, c.bits, c.sub_w, c.sub_h), width, height,
                        frames, [this, stream](int n, VSFrame* frame) {
                          for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
                            int32_t w = 0, h = 0;
                            zolta_stream_plane_size(&stream, p, &w, &h);
                            fill_plane(stream, w, h, static_cast<uint32_t>(n * 3 + p),
                                       PlaneRef{core_.write_ptr(frame, p), core_.stride(frame, p)});
                          }
                        });
  }

  // Denoise(clip, **args); the node, or null with the error in *error.
  VSNode* denoise(VSNode* clip, VSMap* args, std::string* error) {
    core_.set_node(args, "clip", clip);
    VSMap* out = core_.invoke("Denoise", args);
    VSNode* node = nullptr;
    if (const char* e = core_.map_error(out)) {
      if (error) *error = e;
    } else {
      node = core_.map_node(out, "clip");
    }
    core_.free_map(out);
    core_.free_map(args);
    return node;
  }

  // Every frame of `node` against the engine's output for the source frame.
  void expect_engine_output(VSNode* node, VSNode* src, const zolta_stream& stream,
                            const zolta_settings& settings, int frames, int workers,
                            bool last_first = false) {
    std::vector<int> wanted;
    for (int n = 0; n < frames; ++n) wanted.push_back(n);
    // Asked for last frame first; the results come back in the same order.
    if (last_first) std::reverse(wanted.begin(), wanted.end());
    std::vector<VsFrameResult> got = core_.get_frames(node, wanted, workers);
    std::vector<VsFrameResult> in = core_.get_frames(src, wanted, 1);
    for (int k = 0; k < frames; ++k) {
      const int n = wanted[static_cast<size_t>(k)];
      const VSFrame* out = got[static_cast<size_t>(k)].frame;
      const VSFrame* source_frame = in[static_cast<size_t>(k)].frame;
      ASSERT_NE(out, nullptr) << got[static_cast<size_t>(k)].error;
      zolta_frame input = {};
      for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
        input.data[p] = const_cast<uint8_t*>(core_.read_ptr(source_frame, p));
        input.stride[p] = core_.stride(source_frame, p);
      }
      const auto expected = engine_output(stream, settings, input);
      for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        EXPECT_EQ(compare_plane(expected[static_cast<size_t>(p)], w * sample_bytes(stream), h,
                                core_.read_ptr(out, p), core_.stride(out, p)),
                  "")
            << "frame " << n << " plane " << p;
      }
      // Properties pass through from the source frame.
      EXPECT_EQ(core_.frame_int_property(out, "SourceFrame", -1), n);
      EXPECT_EQ(core_.frame_int_property(out, "_DurationDen", -1), 25);
      core_.free_frame(out);
      core_.free_frame(source_frame);
    }
  }

  std::string refusal(VSNode* clip, VSMap* args) {
    std::string error;
    VSNode* node = denoise(clip, args, &error);
    EXPECT_EQ(node, nullptr);
    core_.free_node(node);
    return error;
  }

  VsCore core_{4};
};

TEST_F(VsPluginTest, RegistersOneFunctionInItsNamespace) {
  const VsPluginRecord& p = core_.plugin();
  EXPECT_EQ(p.name_space, "zolta");
  EXPECT_EQ(p.identifier, "org.zolta.denoise");
  EXPECT_EQ(p.api_version, kApi40);
  ASSERT_EQ(p.functions.size(), 1u);
  EXPECT_EQ(p.functions[0].name, "Denoise");
  EXPECT_EQ(p.functions[0].return_type, "clip:vnode;");
  // The arguments of the earlier releases keep their places; thresholds follows.
  EXPECT_EQ(
      p.functions[0].args,
      "clip:vnode;config:int[]:opt:empty;config_text:data:opt;vcf:data:opt;"
      "sigma:float:opt;view:data:opt;plane:int:opt;thresholds:int[]:opt:empty;temporal:int:opt;profile:data:opt;"
      "sigma_auto:int:opt;");
}

TEST_F(VsPluginTest, EveryFormatEqualsTheEngineWithPropertiesPassedThrough) {
  const zolta_settings settings = settings_from_text(kTestConfig);
  for (const VsCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const int width = 64, height = 32;
    VSNode* src = source(c, width, height, 3);
    VSMap* args = core_.create_map();
    core_.set_data(args, "config_text", kTestConfig);
    std::string error;
    VSNode* node = denoise(src, args, &error);
    ASSERT_NE(node, nullptr) << error;
    expect_engine_output(node, src, stream_of(c, width, height), settings, 3, 2);
    core_.free_node(node);
    core_.free_node(src);
  }
  EXPECT_EQ(core_.filter_frees(), static_cast<int>(sizeof kCases / sizeof kCases[0]));
}

TEST_F(VsPluginTest, ParallelFilterSharedByManyThreads) {
  const VsCase& c = kCases[8];  // YUV420P8
  VSNode* src = source(c, 128, 96, 24);
  VSMap* args = core_.create_map();
  for (const char* v :
       {"49344", "16448", "8224", "57568", "16448", "8224", "57568", "16448", "8224"}) {
    core_.set_int(args, "config", std::atoll(v), true);
  }
  std::string error;
  VSNode* node = denoise(src, args, &error);
  ASSERT_NE(node, nullptr) << error;
  EXPECT_EQ(core_.node_filter_mode(node), fmParallel);
  const std::vector<VSFilterDependency> deps = core_.node_dependencies(node);
  ASSERT_EQ(deps.size(), 1u);
  EXPECT_EQ(deps[0].source, src);
  EXPECT_EQ(deps[0].requestPattern, rpStrictSpatial);
  expect_engine_output(node, src, stream_of(c, 128, 96), settings_from_text(kTestConfig), 24, 4);
  core_.free_node(node);
  core_.free_node(src);
  EXPECT_EQ(core_.filter_frees(), 1);
}

TEST_F(VsPluginTest, TemporalWindowsAreTheLibrarysMirroredAtTheClipsEnds) {
  const VsCase& c = kCases[9];  // YUV420P9
  const zolta_stream stream = stream_of(c, 64, 48);
  const int frames = 7;
  for (int radius : {1, 2}) {
    VSNode* src = source(c, 64, 48, frames);
    VSMap* args = core_.create_map();
    core_.set_float(args, "sigma", 9.0);
    core_.set_int(args, "temporal", radius);
    std::string error;
    VSNode* node = denoise(src, args, &error);
    ASSERT_NE(node, nullptr) << error;
    const std::vector<VSFilterDependency> deps = core_.node_dependencies(node);
    ASSERT_EQ(deps.size(), 1u);
    EXPECT_EQ(deps[0].requestPattern, rpGeneral);
    // The library's frames, from the same windows mirrored by hand.
    zolta_denoiser* d = temporal_denoiser(stream, 9.0f, radius);
    ASSERT_NE(d, nullptr);
    std::vector<int> all;
    for (int n = 0; n < frames; ++n) all.push_back(n);
    std::vector<VsFrameResult> got = core_.get_frames(node, all, 3);
    std::vector<VsFrameResult> in = core_.get_frames(src, all, 1);
    std::vector<zolta_frame> inputs(frames);
    for (int n = 0; n < frames; ++n) {
      for (int p = 0; p < 3; ++p) {
        inputs[n].data[p] = const_cast<uint8_t*>(core_.read_ptr(in[n].frame, p));
        inputs[n].stride[p] = core_.stride(in[n].frame, p);
      }
    }
    for (int n = 0; n < frames; ++n) {
      ASSERT_NE(got[n].frame, nullptr) << got[n].error;
      const zolta_frame* window[5];
      mirrored_window(inputs.data(), frames, n, radius, window);
      std::vector<std::vector<uint8_t>> expected(3);
      zolta_frame out = {};
      for (int p = 0; p < 3; ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        expected[p].resize(static_cast<size_t>(w) * h * 2);
        out.data[p] = expected[p].data();
        out.stride[p] = w * 2;
      }
      ASSERT_EQ(zolta_denoiser_process_window(d, window, 2 * radius + 1, &out, nullptr), ZOLTA_OK);
      for (int p = 0; p < 3; ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        EXPECT_EQ(compare_plane(expected[p], w * 2, h, core_.read_ptr(got[n].frame, p),
                                core_.stride(got[n].frame, p)),
                  "")
            << "radius " << radius << " frame " << n << " plane " << p;
      }
      EXPECT_EQ(core_.frame_int_property(got[n].frame, "SourceFrame", -1), n);
    }
    for (int n = 0; n < frames; ++n) {
      core_.free_frame(got[n].frame);
      core_.free_frame(in[n].frame);
    }
    zolta_denoiser_destroy(d);
    core_.free_node(node);
    core_.free_node(src);
  }
  // The radius's range, and its thresholds need the noise level.
  for (int64_t radius : {-1, 3}) {
    VSNode* src = source(c, 64, 48, frames);
    VSMap* args = core_.create_map();
    core_.set_float(args, "sigma", 9.0);
    core_.set_int(args, "temporal", radius);
    EXPECT_NE(refusal(src, args).find("temporal must be 0, 1 or 2"), std::string::npos);
    core_.free_node(src);
  }
  VSNode* src = source(c, 64, 48, frames);
  VSMap* args = core_.create_map();
  core_.set_data(args, "config_text", kTestConfig);
  core_.set_int(args, "temporal", 1);
  EXPECT_EQ(refusal(src, args),
            "Denoise: temporal takes its thresholds from the noise: give sigma, sigma_auto or "
            "profile");
  core_.free_node(src);
}

// sigma_auto measures the clip's first frames (at most 8) once, when the
// filter is made: every frame has the settings the library makes of those
// frames' model, whatever the threads and the order frames are asked in.
TEST_F(VsPluginTest, SigmaAutoIsTheModelOfTheFirstFramesForEveryThreadAndOrder) {
  struct Auto {
    int frames;    // of the clip
    int workers;   // threads asking
    bool reverse;  // frames asked last first
  };
  const Auto cases[] = {{12, 1, false}, {12, 4, false}, {12, 1, true}, {3, 3, true}};
  const VsCase& c = kCases[8];  // YUV420P8
  const zolta_stream stream = stream_of(c, 64, 48);
  for (const Auto& a : cases) {
    SCOPED_TRACE(testing::Message() << a.frames << " frames, " << a.workers << " threads"
                                    << (a.reverse ? ", last first" : ""));
    VSNode* src = source(c, 64, 48, a.frames);
    // The model of the first frames through the library, as a user would make it.
    const int measured = a.frames < 8 ? a.frames : 8;
    std::vector<int> first;
    for (int n = 0; n < measured; ++n) first.push_back(n);
    std::vector<VsFrameResult> in = core_.get_frames(src, first, 1);
    std::vector<zolta_frame> frames(measured);
    std::vector<const zolta_frame*> pointers;
    for (int n = 0; n < measured; ++n) {
      for (int p = 0; p < 3; ++p) {
        frames[n].data[p] = const_cast<uint8_t*>(core_.read_ptr(in[n].frame, p));
        frames[n].stride[p] = core_.stride(in[n].frame, p);
      }
      pointers.push_back(&frames[n]);
    }
    zolta_noise_model model;
    zolta_noise_model_default(&model, ZOLTA_API_VERSION);
    zolta_settings expected;
    ASSERT_EQ(zolta_noise_measure(&stream, pointers.data(), measured, &model, nullptr), ZOLTA_OK);
    ASSERT_EQ(zolta_settings_for_model(&model, ZOLTA_FAMILY_YUV420, &expected, nullptr), ZOLTA_OK);
    for (const VsFrameResult& r : in) core_.free_frame(r.frame);

    VSMap* args = core_.create_map();
    core_.set_int(args, "sigma_auto", 1);
    std::string error;
    VSNode* node = denoise(src, args, &error);
    ASSERT_NE(node, nullptr) << error;
    expect_engine_output(node, src, stream, expected, a.frames, a.workers, a.reverse);
    core_.free_node(node);
    core_.free_node(src);
  }
}

TEST_F(VsPluginTest, EachWayOfGivingSettingsReachesTheEngine) {
  const VsCase& c = kCases[3];  // YUV444P8
  const char* path = "zolta-plugin-vs-test.vcf";
  {
    std::ofstream vcf(path, std::ios::binary);
    vcf << "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
        << "VirtualDub.video.filters.instance[0].Config(49344, 16448, 8224, 57568, 16448, "
           "8224, 57568, 16448, 8224);\n";
  }
  zolta_settings sigma_settings;
  const float sigma[3] = {7.5f, 7.5f, 7.5f};
  zolta_error e;
  ASSERT_EQ(zolta_settings_for_sigma(sigma, ZOLTA_FAMILY_YUV444, &sigma_settings, &e), ZOLTA_OK);
  zolta_settings sigma_expected;
  zolta_settings_default(&sigma_expected, ZOLTA_API_VERSION);
  std::memcpy(sigma_expected.thresholds, sigma_settings.thresholds,
              sizeof sigma_expected.thresholds);
  // Thresholds beyond the 0..255 of the Config forms, as zolta-run takes them.
  const int32_t eighteen[18] = {4095, 300, 40, 256, 24, 8, 64, 32, 0,
                                64,   32,  0,  64,  32, 0, 64, 32, 1};
  zolta_settings direct;
  zolta_settings_default(&direct, ZOLTA_API_VERSION);
  std::memcpy(direct.thresholds, eighteen, sizeof eighteen);
  // A profile of correlated noise: its model's settings.
  const char* profile_path = "zolta-plugin-vs-test.profile";
  zolta_settings from_profile;
  {
    const zolta_noise_model model = correlated_model();
    ASSERT_TRUE(write_profile(model, profile_path));
    ASSERT_EQ(zolta_settings_for_model(&model, ZOLTA_FAMILY_YUV444, &from_profile, &e), ZOLTA_OK);
  }
  zolta_settings high = settings_from_text(kTestConfig);
  high.view = ZOLTA_VIEW_HIGH;
  high.plane = 2;
  high.show_plane = 1;

  struct Way {
    const char* what;
    std::function<void(VSMap*)> set;
    zolta_settings expected;
  };
  const Way ways[] = {
      {"vcf", [&](VSMap* m) { core_.set_data(m, "vcf", path); }, settings_from_text(kTestConfig)},
      {"sigma", [&](VSMap* m) { core_.set_float(m, "sigma", 7.5); }, sigma_expected},
      {"profile", [&](VSMap* m) { core_.set_data(m, "profile", profile_path); }, from_profile},
      {"sigma_auto off beside sigma",
       [&](VSMap* m) {
         core_.set_int(m, "sigma_auto", 0);
         core_.set_float(m, "sigma", 7.5);
       },
       sigma_expected},
      {"thresholds",
       [&](VSMap* m) {
         for (int32_t v : eighteen) core_.set_int(m, "thresholds", v, true);
       },
       direct},
      {"view high, plane 2",
       [&](VSMap* m) {
         core_.set_data(m, "config_text", kTestConfig);
         core_.set_data(m, "view", "high");
         core_.set_int(m, "plane", 2);
       },
       high},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    VSNode* src = source(c, 32, 32, 2);
    VSMap* args = core_.create_map();
    way.set(args);
    std::string error;
    VSNode* node = denoise(src, args, &error);
    ASSERT_NE(node, nullptr) << error;
    expect_engine_output(node, src, stream_of(c, 32, 32), way.expected, 2, 2);
    core_.free_node(node);
    core_.free_node(src);
  }
  std::remove(path);
  std::remove(profile_path);
}

TEST_F(VsPluginTest, FormatsOutsideTheEnginesAreRefusedNamingTheFormat) {
  struct Refused {
    uint32_t format;
    int width, height;
    const char* expect;
  };
  const Refused refused[] = {
      {0, 64, 32, "variable format"},
      {vs_format_id(cfYUV, stInteger, 8, 1, 1), 0, 0, "YUV420P8) has a variable frame size"},
      {vs_format_id(cfYUV, stInteger, 8, 2, 2), 64, 32, "the clip is YUV410P8"},
      {vs_format_id(cfYUV, stInteger, 8, 0, 1), 64, 32, "the clip is YUV440P8"},
      {vs_format_id(cfGray, stFloat, 16, 0, 0), 64, 32, "the clip is GrayH"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.expect);
    VSNode* src = core_.source(r.format, r.width, r.height, 1, nullptr);
    VSMap* args = core_.create_map();
    core_.set_data(args, "config_text", kTestConfig);
    const std::string error = refusal(src, args);
    EXPECT_EQ(error.rfind("Denoise: ", 0), 0u) << error;
    EXPECT_NE(error.find(r.expect), std::string::npos) << error;
    EXPECT_NE(error.find("accepted: "), std::string::npos) << error;
    core_.free_node(src);
  }
  // Sizes are the engine's to judge, with its own message.
  VSNode* src = core_.source(vs_format_id(cfYUV, stInteger, 8, 1, 1), 64, 36, 1, nullptr);
  VSMap* args = core_.create_map();
  core_.set_data(args, "config_text", kTestConfig);
  zolta_stream odd = {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 64, 36, {}};
  zolta_error e;
  ASSERT_NE(zolta_stream_check(&odd, &e), ZOLTA_OK);
  EXPECT_EQ(refusal(src, args), std::string("Denoise: ") + e.message);
  core_.free_node(src);
  EXPECT_EQ(core_.filter_frees(), 0);
}

TEST_F(VsPluginTest, BadSettingsAreRefusedWithTheEnginesMessages) {
  struct Bad {
    const char* what;
    std::function<void(VSMap*)> set;
    const char* expect;
  };
  const Bad bad[] = {
      {"none", [](VSMap*) {}, "exactly one way"},
      {"two",
       [&](VSMap* m) {
         core_.set_data(m, "config_text", kTestConfig);
         core_.set_float(m, "sigma", 5);
       },
       "exactly one way"},
      {"eight integers",
       [&](VSMap* m) {
         for (int i = 0; i < 8; ++i) core_.set_int(m, "config", 0, true);
       },
       "config takes nine integers, not 8"},
      {"value over 65535",
       [&](VSMap* m) {
         for (int i = 0; i < 9; ++i) core_.set_int(m, "config", i == 4 ? 65536 : 0, true);
       },
       nullptr},
      {"no Config text", [&](VSMap* m) { core_.set_data(m, "config_text", "Config(1, 2)"); },
       nullptr},
      {"seventeen thresholds",
       [&](VSMap* m) {
         for (int i = 0; i < 17; ++i) core_.set_int(m, "thresholds", 0, true);
       },
       "thresholds takes eighteen integers, not 17"},
      {"threshold over 4095",
       [&](VSMap* m) {
         for (int i = 0; i < 18; ++i) core_.set_int(m, "thresholds", i == 3 ? 4096 : 0, true);
       },
       "thresholds value 4 (4096) is outside 0..4095"},
      {"thresholds and a file",
       [&](VSMap* m) {
         for (int i = 0; i < 18; ++i) core_.set_int(m, "thresholds", 0, true);
         core_.set_data(m, "vcf", "x.vcf");
       },
       "exactly one way: config, config_text, vcf, sigma, thresholds, profile or sigma_auto (2 "
       "given)"},
      {"sigma_auto and sigma",
       [&](VSMap* m) {
         core_.set_int(m, "sigma_auto", 1);
         core_.set_float(m, "sigma", 5);
       },
       "exactly one way"},
      {"sigma_auto and profile",
       [&](VSMap* m) {
         core_.set_int(m, "sigma_auto", 1);
         core_.set_data(m, "profile", "any.profile");
       },
       "(2 given)"},
      {"sigma_auto 2", [&](VSMap* m) { core_.set_int(m, "sigma_auto", 2); },
       "sigma_auto must be 0 or 1, not 2"},
      {"sigma_auto 0 alone", [&](VSMap* m) { core_.set_int(m, "sigma_auto", 0); },
       "exactly one way"},
      {"unreadable profile", [&](VSMap* m) { core_.set_data(m, "profile", "no-such-dir/p.txt"); },
       "no-such-dir/p.txt"},
      {"missing file", [&](VSMap* m) { core_.set_data(m, "vcf", "no-such-dir/none.vcf"); },
       nullptr},
      {"sigma 0", [&](VSMap* m) { core_.set_float(m, "sigma", 0); }, nullptr},
      {"view",
       [&](VSMap* m) {
         core_.set_data(m, "config_text", kTestConfig);
         core_.set_data(m, "view", "sideways");
       },
       "view must be normal, high or diff"},
      {"plane",
       [&](VSMap* m) {
         core_.set_data(m, "config_text", kTestConfig);
         core_.set_int(m, "plane", 3);
       },
       "plane must be 0, 1 or 2"},
      // Data is taken at the size the core gives: a NUL inside would cut the
      // text short where a C string ends.
      {"config_text with a NUL",
       [&](VSMap* m) {
         const char text[] = "Config(0, 0, 0, 0, 0, 0, 0, 0, 0)\0Config(999999999, -5)";
         core_.set_data(m, "config_text", std::string(text, sizeof text - 1));
       },
       "config_text holds a NUL byte (byte 34 of 55)"},
      {"view with a NUL",
       [&](VSMap* m) {
         core_.set_data(m, "config_text", kTestConfig);
         core_.set_data(m, "view", std::string("diff\0xx", 7));
       },
       "view holds a NUL byte (byte 5 of 7)"},
      {"vcf with a NUL",
       [&](VSMap* m) { core_.set_data(m, "vcf", std::string("settings.vcf\0.bak", 17)); },
       "vcf holds a NUL byte"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    VSNode* src = source(kCases[3], 32, 32, 1);
    VSMap* args = core_.create_map();
    b.set(args);
    const std::string error = refusal(src, args);
    EXPECT_EQ(error.rfind("Denoise: ", 0), 0u) << error;
    if (b.expect) {
      EXPECT_NE(error.find(b.expect), std::string::npos) << error;
    }
    EXPECT_GT(error.size(), std::string("Denoise: ").size());
    core_.free_node(src);
  }
  // The engine's own texts, word for word.
  int32_t packed[9] = {0, 0, 0, 0, 65536, 0, 0, 0, 0};
  zolta_settings s;
  zolta_error e;
  ASSERT_NE(zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &s, &e), ZOLTA_OK);
  VSNode* src = source(kCases[3], 32, 32, 1);
  VSMap* args = core_.create_map();
  for (int32_t v : packed) core_.set_int(args, "config", v, true);
  EXPECT_EQ(refusal(src, args), std::string("Denoise: ") + e.message);
  core_.free_node(src);
  EXPECT_EQ(core_.filter_frees(), 0);
}

// This program has no AviSynth+ library loaded: the AviSynth+ entry finds
// none of its functions, registers nothing and says why.
TEST(AvsEntryWithoutTheHost, SaysWhatIsMissing) {
  PluginModule module;
  std::string error;
  ASSERT_TRUE(open_plugin_module(plugin_path_beside_executable(), module, error)) << error;
  const char* const names[] = {"avisynth_c_plugin_init2"};
  // The C entry of AviSynth+: const char* (AVS_ScriptEnvironment*), the
  // platform's default convention on the 64-bit targets this test runs on.
  using AvsPlusEntry = const char* (*)(void* env);
  auto init = reinterpret_cast<AvsPlusEntry>(find_plugin_export(module, names, 1, nullptr));
  ASSERT_NE(init, nullptr);
  const std::string text = init(nullptr);
  EXPECT_NE(text.find("no AviSynth+ library is loaded"), std::string::npos) << text;
  close_plugin_module(module);
}

}  // namespace
