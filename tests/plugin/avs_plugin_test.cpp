// SPDX-License-Identifier: BSD-2-Clause
// zolta-plugin in an AviSynth+ stand-in environment library (this program is
// built once per stand-in interface version): the module is entered through
// the entry that release looks up and finds the host's C functions by name in
// the loaded host library, whatever its soname; every
// format equals the engine's own output (planar RGB through the G, B, R
// storage; RGB32 bottom-up; YUY2 equal to 8-bit 4:2:2), the nice-filter MT
// mode declared and frames asked for from several threads at once, and every
// refusal coming back as an AviSynth+ error.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "avsplus_host.h"
#include "parallel.h"
#include "plugin_module.h"
#include "plugin_test_support.h"

namespace {

struct AvsCase {
  const char* name;
  uint32_t pixel_type;
  zolta_stream stream;  // width and height set per test
  int engine_ids[3];    // the host's plane id of engine plane 0, 1, 2
};

const int kYuv[3] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V};
const int kRgb[3] = {AVS_PLANAR_R, AVS_PLANAR_G, AVS_PLANAR_B};
const int kOne[3] = {AVS_DEFAULT_PLANE, 0, 0};
const int kGray[3] = {AVS_PLANAR_Y, 0, 0};

AvsCase make_case(const char* name, uint32_t pt, int family, int sample, int bits, const int* ids) {
  AvsCase c;
  c.name = name;
  c.pixel_type = pt;
  c.stream = zolta_stream{ZOLTA_API_VERSION, family, sample, bits, 0, 0, {}};
  std::memcpy(c.engine_ids, ids, sizeof c.engine_ids);
  return c;
}

const AvsCase kCases[] = {
    make_case("YV12", 0xA0000008u, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, kYuv),
    make_case("I420", 0xA0000010u, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, kYuv),
    make_case("YV16", 0xA0000308u, ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 8, kYuv),
    make_case("YV24", 0xA000030Bu, ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_INTEGER, 8, kYuv),
    make_case("YV411", 0xA0000309u, ZOLTA_FAMILY_YUV411, ZOLTA_SAMPLE_INTEGER, 8, kYuv),
    make_case("Y8", 0xE0000000u, ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8, kGray),
    make_case("Y10", 0xE0050000u, ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 10, kGray),
    make_case("Y32", 0xE0020000u, ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_FLOAT, 32, kGray),
    make_case("YUV420P10", 0xA0050008u, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10, kYuv),
    make_case("YUV420P12", 0xA0060008u, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 12, kYuv),
    make_case("YUV422P14", 0xA0070308u, ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 14, kYuv),
    make_case("YUV444P16", 0xA001030Bu, ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_INTEGER, 16, kYuv),
    make_case("YUV420PS", 0xA0020008u, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_FLOAT, 32, kYuv),
    make_case("RGBP", 0x90000001u, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8, kRgb),
    make_case("RGBP10", 0x90050001u, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 10, kRgb),
    make_case("RGBP16", 0x90010001u, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 16, kRgb),
    make_case("RGBPS", 0x90020001u, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_FLOAT, 32, kRgb),
    make_case("YUY2", 0x60000004u, ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8, kOne),
    make_case("RGB32", 0x50000002u, ZOLTA_FAMILY_RGB32, ZOLTA_SAMPLE_INTEGER, 8, kOne),
};

AVS_VideoInfo video_info(uint32_t pixel_type, int width, int height, int frames) {
  AVS_VideoInfo vi = {};
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = frames;
  vi.pixel_type = static_cast<int>(pixel_type);
  return vi;
}

using Payload = decltype(AVS_Value::d);

// A value of `type` with `v` in its `member`.
template <typename T>
AVS_Value typed_value(short type, T Payload::*member, T v) {
  AVS_Value a;
  a.type = type;
  a.array_size = 0;
  a.d.*member = v;
  return a;
}

AVS_Value int_value(int v) {
  return typed_value(AVS_TYPE_INT, &Payload::integer, v);
}
AVS_Value string_value(const char* s) {
  return typed_value(AVS_TYPE_STRING, &Payload::string, s);
}
AVS_Value float_value(float f) {
  return typed_value(AVS_TYPE_FLOAT, &Payload::floating_pt, f);
}
AVS_Value bool_value(bool b) {
  return typed_value(AVS_TYPE_BOOL, &Payload::boolean, char(b));
}

AVS_Value array_value(const std::vector<AVS_Value>& elements) {
  AVS_Value a = typed_value(AVS_TYPE_ARRAY, &Payload::array, elements.data());
  a.array_size = static_cast<short>(elements.size());
  return a;
}

// What a source fills its frames with.
struct SourceContent {
  AvsPlusHost* host;
  AvsCase c;
  int width, height;
};

void fill_source(void* user, int n, AVS_VideoFrame* frame) {
  const SourceContent* s = static_cast<const SourceContent*>(user);
  zolta_stream stream = s->c.stream;
  stream.width = s->width;
  stream.height = s->height;
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&stream, p, &w, &h);
    const AvsPlaneView v = s->host->plane(frame, s->c.engine_ids[p]);
    fill_plane(stream, w, h, static_cast<uint32_t>(n * 3 + p), PlaneRef{v.data, v.pitch});
  }
}

class AvsPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string text;
    ASSERT_TRUE(host_.load_plugin(plugin_path_above_executable(), text)) << text;
    ASSERT_EQ(text, "zolta wavelet noise reduction");
    // Every test fails when the module registered nothing.
    ASSERT_NE(host_.function_params("ZoltaDenoise"), "");
  }

  void TearDown() override {
    EXPECT_EQ(host_.live_frames(), 0);
    EXPECT_EQ(host_.live_clips(), 0);
    for (const std::string& what : host_.violations()) ADD_FAILURE() << "interface: " << what;
  }

  AVS_Clip* source(SourceContent& content, int frames) {
    return host_.source(video_info(content.c.pixel_type, content.width, content.height, frames),
                        fill_source, &content);
  }

  // The engine's input for frame n of a source: the host's planes, RGB32
  // from its last row up.
  zolta_frame engine_input(const AvsCase& c, AVS_VideoFrame* frame, int height) {
    zolta_frame f = {};
    for (int p = 0; p < 3; ++p) {
      const AvsPlaneView v = host_.plane(frame, c.engine_ids[p]);
      if (p > 0 && c.engine_ids[p] == 0) break;
      f.data[p] = v.data;
      f.stride[p] = v.pitch;
    }
    if (c.stream.family == ZOLTA_FAMILY_RGB32) {
      f.data[0] = static_cast<uint8_t*>(f.data[0]) + (height - 1) * f.stride[0];
      f.stride[0] = -f.stride[0];
    }
    return f;
  }

  void expect_engine_output(AVS_Clip* clip, AVS_Clip* src, const AvsCase& c, int width, int height,
                            const zolta_settings& settings, int frames, int workers) {
    zolta_stream stream = c.stream;
    stream.width = width;
    stream.height = height;
    std::vector<AVS_VideoFrame*> got(static_cast<size_t>(frames), nullptr);
    std::vector<std::string> errors(static_cast<size_t>(frames));
    std::atomic<int> next{0};
    run_in_parallel(workers, [&](int) {
      for (int n = next.fetch_add(1); n < frames; n = next.fetch_add(1)) {
        got[static_cast<size_t>(n)] = host_.get_frame(clip, n, errors[static_cast<size_t>(n)]);
      }
    });
    for (int n = 0; n < frames; ++n) {
      AVS_VideoFrame* out = got[static_cast<size_t>(n)];
      ASSERT_NE(out, nullptr) << errors[static_cast<size_t>(n)];
      std::string e;
      AVS_VideoFrame* in = host_.get_frame(src, n, e);
      const zolta_frame input = engine_input(c, in, height);
      auto expected = engine_output(stream, settings, input);
      // RGB32's fourth byte is alpha in AviSynth+: the source's, untouched.
      if (c.stream.family == ZOLTA_FAMILY_RGB32) {
        for (int y = 0; y < height; ++y) {
          const uint8_t* row = static_cast<const uint8_t*>(input.data[0]) + y * input.stride[0];
          for (int x = 0; x < width; ++x)
            expected[0][static_cast<size_t>((y * width + x) * 4 + 3)] = row[4 * x + 3];
        }
      }
      const zolta_frame result = engine_input(c, out, height);
      for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        EXPECT_EQ(compare_plane(expected[static_cast<size_t>(p)], w * sample_bytes(stream), h,
                                static_cast<const uint8_t*>(result.data[p]), result.stride[p]),
                  "")
            << "frame " << n << " plane " << p;
      }
      EXPECT_EQ(host_.frame_int_property(out, "SourceFrame", -1), n);
      host_.release_frame(out);
      host_.release_frame(in);
    }
  }

  std::string refusal(AVS_Clip* src, const std::vector<AvsNamedArg>& args) {
    std::string error;
    AVS_Clip* clip = host_.invoke("ZoltaDenoise", src, args, error);
    EXPECT_EQ(clip, nullptr);
    if (clip) host_.release_clip(clip);
    return error;
  }

  AvsPlusHost host_{3};
};

TEST_F(AvsPluginTest, RegistersZoltaDenoise) {
  EXPECT_EQ(host_.function_params("ZoltaDenoise"),
            "c[config].[config_text]s[vcf]s[sigma]f[view]s[plane]i[thresholds]i*[temporal]i[profile]s"
            "[sigma_auto]b");
}

TEST_F(AvsPluginTest, EighteenThresholdsBeyondTheConfigRangeReachTheEngine) {
  const int32_t eighteen[18] = {4095, 300, 40, 256, 24, 8, 64, 32, 0,
                                64,   32,  0,  64,  32, 0, 64, 32, 1};
  std::vector<AVS_Value> values;
  for (int32_t v : eighteen) values.push_back(int_value(v));
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  std::memcpy(settings.thresholds, eighteen, sizeof eighteen);
  SourceContent content{&host_, kCases[0], 64, 32};  // YV12
  AVS_Clip* src = source(content, 2);
  std::string error;
  AVS_Clip* clip = host_.invoke("ZoltaDenoise", src, {{"thresholds", array_value(values)}}, error);
  ASSERT_NE(clip, nullptr) << error;
  expect_engine_output(clip, src, kCases[0], 64, 32, settings, 2, 2);
  host_.release_clip(clip);
  host_.release_clip(src);
}

// The module is entered through the first C entry this release looks up:
// avisynth_c_plugin_init2 from interface 11 (AviSynth+ 3.7.4) on, the older
// avisynth_c_plugin_init before, under the decoration the host asks for.
TEST_F(AvsPluginTest, EnteredThroughTheFirstEntryThisReleaseLooksUp) {
  std::string first_c_entry;
  for (const std::string& name : AvsPlusHost::entry_names()) {
    if (name.find("avisynth_c_plugin_init") != std::string::npos) {
      first_c_entry = name;
      break;
    }
  }
  EXPECT_EQ(host_.entry_called(), first_c_entry);
  const bool newer = AvsPlusHost::interface_version() >= 11;
  EXPECT_EQ(host_.entry_called().find("avisynth_c_plugin_init2") != std::string::npos, newer)
      << host_.entry_called();
}

// What the older entry is handed (64-bit values made int and float by the
// host) and what the newer one is handed give the same filter.
TEST_F(AvsPluginTest, SixtyFourBitValuesGiveWhatTheirNarrowFormsGive) {
  SourceContent content{&host_, kCases[0], 64, 32};  // YV12
  AVS_Clip* src = source(content, 1);
  const int config[9] = {49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224};
  std::vector<AVS_Value> narrow, wide;
  int64_t wide_config[9];
  for (int i = 0; i < 9; ++i) {
    narrow.push_back(int_value(config[i]));
    wide_config[i] = config[i];
    AVS_Value v;
    v.type = AVS_TYPE_LONG;
    v.array_size = 0;
#if defined(_WIN32) && !defined(_WIN64)
    v.d.longlong_ptr = &wide_config[i];
#else
    v.d.longlong = wide_config[i];
#endif
    wide.push_back(v);
  }
  double wide_sigma = 5.0;
  AVS_Value sigma;
  sigma.type = AVS_TYPE_DOUBLE;
  sigma.array_size = 0;
#if defined(_WIN32) && !defined(_WIN64)
  sigma.d.double_pt_ptr = &wide_sigma;
#else
  sigma.d.double_pt = wide_sigma;
#endif
  const std::vector<AvsNamedArg> pairs[][2] = {
      {{{"config", array_value(narrow)}}, {{"config", array_value(wide)}}},
      {{{"sigma", float_value(5)}}, {{"sigma", sigma}}},
  };
  for (const auto& pair : pairs) {
    std::string error;
    AVS_Clip* a = host_.invoke("ZoltaDenoise", src, pair[0], error);
    ASSERT_NE(a, nullptr) << error;
    AVS_Clip* b = host_.invoke("ZoltaDenoise", src, pair[1], error);
    ASSERT_NE(b, nullptr) << error;
    AVS_VideoFrame* fa = host_.get_frame(a, 0, error);
    AVS_VideoFrame* fb = host_.get_frame(b, 0, error);
    ASSERT_TRUE(fa && fb) << error;
    for (int id : kYuv) {
      const AvsPlaneView va = host_.plane(fa, id), vb = host_.plane(fb, id);
      for (int y = 0; y < va.height; ++y) {
        ASSERT_EQ(std::memcmp(va.data + y * va.pitch, vb.data + y * vb.pitch,
                              static_cast<size_t>(va.row_size)),
                  0)
            << "plane " << id << " row " << y;
      }
    }
    host_.release_frame(fa);
    host_.release_frame(fb);
    host_.release_clip(a);
    host_.release_clip(b);
  }
  host_.release_clip(src);
}

// A host older than AviSynth+ 3.7.0 (interface 8) is found only through the
// search of loaded libraries; the module registers nothing and says why.
TEST(AvsPluginOlderHost, IsRefusedWithATextNamingTheRelease) {
  AvsPlusHost host(1);
  host.report_interface(7);
  std::string text;
  ASSERT_TRUE(host.load_plugin(plugin_path_above_executable(), text)) << text;
  EXPECT_EQ(text,
            "zolta: ZoltaDenoise is not available: it needs AviSynth+ 3.7.0 or later (interface "
            "8), and this host's interface is older");
  EXPECT_EQ(host.function_params("ZoltaDenoise"), "");
  EXPECT_TRUE(host.violations().empty());
}

// RGB32's fourth byte is alpha in AviSynth+ (transparency, masks, Layer,
// Overlay): it leaves the filter as it came, in every view.
TEST_F(AvsPluginTest, Rgb32AlphaIsTheSourcesInEveryView) {
  const uint8_t blank[4] = {0x33, 0x22, 0x11, 0x80};  // color=$80112233
  struct Blank {
    AvsPlusHost* host;
    const uint8_t* pixel;
  } fill{&host_, blank};
  AVS_Clip* blank_src = host_.source(
      video_info(AVS_CS_BGR32, 64, 32, 1),
      [](void* user, int, AVS_VideoFrame* f) {
        const Blank* b = static_cast<const Blank*>(user);
        const AvsPlaneView v = b->host->plane(f, AVS_DEFAULT_PLANE);
        for (int y = 0; y < v.height; ++y)
          for (int x = 0; x < v.row_size; ++x) v.data[y * v.pitch + x] = b->pixel[x % 4];
      },
      &fill);
  SourceContent noisy{&host_, kCases[18], 64, 32};  // RGB32, alpha of every value
  AVS_Clip* noisy_src = source(noisy, 1);
  for (AVS_Clip* src : {blank_src, noisy_src}) {
    for (const char* view : {"normal", "high", "diff"}) {
      SCOPED_TRACE(view);
      std::string error;
      AVS_Clip* clip = host_.invoke(
          "ZoltaDenoise", src, {{"sigma", float_value(5)}, {"view", string_value(view)}}, error);
      ASSERT_NE(clip, nullptr) << error;
      AVS_VideoFrame* in = host_.get_frame(src, 0, error);
      AVS_VideoFrame* out = host_.get_frame(clip, 0, error);
      ASSERT_TRUE(in && out) << error;
      const AvsPlaneView a = host_.plane(in, AVS_DEFAULT_PLANE),
                         b = host_.plane(out, AVS_DEFAULT_PLANE);
      int differences = 0;
      for (int y = 0; y < a.height; ++y)
        for (int x = 3; x < a.row_size; x += 4)
          differences += a.data[y * a.pitch + x] != b.data[y * b.pitch + x];
      EXPECT_EQ(differences, 0);
      host_.release_frame(in);
      host_.release_frame(out);
      host_.release_clip(clip);
    }
  }
  host_.release_clip(blank_src);
  host_.release_clip(noisy_src);
}

TEST_F(AvsPluginTest, EveryFormatEqualsTheEngineWithPropertiesPassedThrough) {
  const zolta_settings settings = settings_from_text(kTestConfig);
  int made = 0;
  for (const AvsCase& c : kCases) {
    SCOPED_TRACE(c.name);
    SourceContent content{&host_, c, 64, 32};
    AVS_Clip* src = source(content, 3);
    std::string error;
    // The text as config_text, and as config (which takes it as well), in turn.
    const char* key = made % 2 ? "config" : "config_text";
    AVS_Clip* clip = host_.invoke("ZoltaDenoise", src, {{key, string_value(kTestConfig)}}, error);
    ASSERT_NE(clip, nullptr) << error;
    ++made;
    expect_engine_output(clip, src, c, 64, 32, settings, 3, 2);
    host_.release_clip(clip);
    host_.release_clip(src);
  }
  EXPECT_EQ(host_.filter_frees(), made);
}

TEST_F(AvsPluginTest, Yuy2GivesTheBytesOfPlanar422) {
  SourceContent planar{&host_, kCases[2], 64, 32};   // YV16
  SourceContent packed{&host_, kCases[17], 64, 32};  // YUY2
  AVS_Clip* planar_src = source(planar, 1);
  AVS_Clip* packed_src = source(packed, 1);
  // The YUY2 source carries the samples of the planar one.
  std::string e;
  AVS_VideoFrame* p_in = host_.get_frame(planar_src, 0, e);
  std::vector<uint8_t> yuy2(64 * 2 * 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      uint8_t* q = &yuy2[static_cast<size_t>(y * 128 + x * 4)];
      q[0] =
          host_.plane(p_in, AVS_PLANAR_Y).data[y * host_.plane(p_in, AVS_PLANAR_Y).pitch + 2 * x];
      q[1] = host_.plane(p_in, AVS_PLANAR_U).data[y * host_.plane(p_in, AVS_PLANAR_U).pitch + x];
      q[2] = host_.plane(p_in, AVS_PLANAR_Y)
                 .data[y * host_.plane(p_in, AVS_PLANAR_Y).pitch + 2 * x + 1];
      q[3] = host_.plane(p_in, AVS_PLANAR_V).data[y * host_.plane(p_in, AVS_PLANAR_V).pitch + x];
    }
  }
  host_.release_frame(p_in);
  host_.release_clip(packed_src);
  struct Bytes {
    AvsPlusHost* host;
    const std::vector<uint8_t>* bytes;
  } bytes{&host_, &yuy2};
  packed_src = host_.source(
      video_info(0x60000004u, 64, 32, 1),
      [](void* user, int, AVS_VideoFrame* f) {
        const Bytes* b = static_cast<const Bytes*>(user);
        const AvsPlaneView v = b->host->plane(f, AVS_DEFAULT_PLANE);
        for (int y = 0; y < 32; ++y) std::memcpy(v.data + y * v.pitch, &(*b->bytes)[y * 128], 128);
      },
      &bytes);

  AVS_Clip* a =
      host_.invoke("ZoltaDenoise", planar_src, {{"config_text", string_value(kTestConfig)}}, e);
  AVS_Clip* b =
      host_.invoke("ZoltaDenoise", packed_src, {{"config_text", string_value(kTestConfig)}}, e);
  ASSERT_TRUE(a && b) << e;
  AVS_VideoFrame* fa = host_.get_frame(a, 0, e);
  AVS_VideoFrame* fb = host_.get_frame(b, 0, e);
  ASSERT_TRUE(fa && fb) << e;
  const AvsPlaneView y = host_.plane(fa, AVS_PLANAR_Y), u = host_.plane(fa, AVS_PLANAR_U),
                     v = host_.plane(fa, AVS_PLANAR_V), p = host_.plane(fb, AVS_DEFAULT_PLANE);
  int differences = 0;
  for (int r = 0; r < 32; ++r) {
    for (int x = 0; x < 32; ++x) {
      const uint8_t* q = p.data + r * p.pitch + 4 * x;
      differences += q[0] != y.data[r * y.pitch + 2 * x];
      differences += q[1] != u.data[r * u.pitch + x];
      differences += q[2] != y.data[r * y.pitch + 2 * x + 1];
      differences += q[3] != v.data[r * v.pitch + x];
    }
  }
  EXPECT_EQ(differences, 0);
  host_.release_frame(fa);
  host_.release_frame(fb);
  host_.release_clip(a);
  host_.release_clip(b);
  host_.release_clip(planar_src);
  host_.release_clip(packed_src);
}

TEST_F(AvsPluginTest, NiceFilterWithManyThreadsAtOnce) {
  SourceContent content{&host_, kCases[0], 128, 96};
  AVS_Clip* src = source(content, 24);
  std::vector<AVS_Value> config;
  for (int v : {49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224})
    config.push_back(int_value(v));
  std::string error;
  AVS_Clip* clip = host_.invoke("ZoltaDenoise", src, {{"config", array_value(config)}}, error);
  ASSERT_NE(clip, nullptr) << error;
  EXPECT_EQ(host_.cache_hint(clip, AVS_CACHE_GET_MTMODE, 0), AVS_MT_NICE_FILTER);
  EXPECT_EQ(host_.cache_hint(clip, 31, 0), 0);  // a hint it does not take
  expect_engine_output(clip, src, kCases[0], 128, 96, settings_from_text(kTestConfig), 24, 4);
  host_.release_clip(clip);
  EXPECT_EQ(host_.filter_frees(), 1);
  host_.release_clip(src);
}

TEST_F(AvsPluginTest, TemporalWindowsAreTheLibrarysMirroredAtTheClipsEnds) {
  const AvsCase& c = kCases[0];
  const int width = 64, height = 48, frames = 6;
  zolta_stream stream = c.stream;
  stream.width = width;
  stream.height = height;
  for (int radius : {1, 2}) {
    SourceContent content{&host_, c, width, height};
    AVS_Clip* src = source(content, frames);
    std::string error;
    AVS_Clip* clip =
        host_.invoke("ZoltaDenoise", src,
                     {{"sigma", float_value(9.0f)}, {"temporal", int_value(radius)}}, error);
    ASSERT_NE(clip, nullptr) << error;
    zolta_denoiser* d = temporal_denoiser(stream, 9.0f, radius);
    ASSERT_NE(d, nullptr);
    std::vector<AVS_VideoFrame*> in(frames);
    std::vector<zolta_frame> inputs(frames);
    for (int n = 0; n < frames; ++n) {
      in[n] = host_.get_frame(src, n, error);
      inputs[n] = engine_input(c, in[n], height);
    }
    for (int n = 0; n < frames; ++n) {
      AVS_VideoFrame* out = host_.get_frame(clip, n, error);
      ASSERT_NE(out, nullptr) << error;
      const zolta_frame* window[5];
      mirrored_window(inputs.data(), frames, n, radius, window);
      std::vector<std::vector<uint8_t>> expected(3);
      zolta_frame made = {};
      const int planes = zolta_stream_planes(&stream);
      for (int p = 0; p < planes; ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        expected[p].resize(static_cast<size_t>(w) * h * sample_bytes(stream));
        made.data[p] = expected[p].data();
        made.stride[p] = w * sample_bytes(stream);
      }
      ASSERT_EQ(zolta_denoiser_process_window(d, window, 2 * radius + 1, &made, nullptr), ZOLTA_OK);
      const zolta_frame result = engine_input(c, out, height);
      for (int p = 0; p < planes; ++p) {
        int32_t w = 0, h = 0;
        zolta_stream_plane_size(&stream, p, &w, &h);
        EXPECT_EQ(compare_plane(expected[p], w * sample_bytes(stream), h,
                                static_cast<const uint8_t*>(result.data[p]), result.stride[p]),
                  "")
            << "radius " << radius << " frame " << n << " plane " << p;
      }
      host_.release_frame(out);
    }
    for (AVS_VideoFrame* f : in) host_.release_frame(f);
    zolta_denoiser_destroy(d);
    host_.release_clip(clip);
    host_.release_clip(src);
  }
  SourceContent content{&host_, c, width, height};
  AVS_Clip* src = source(content, frames);
  EXPECT_NE(refusal(src, {{"sigma", float_value(9.0f)}, {"temporal", int_value(3)}})
                .find("temporal must be 0, 1 or 2"),
            std::string::npos);
  EXPECT_NE(refusal(src, {{"config_text", string_value(kTestConfig)}, {"temporal", int_value(1)}})
                .find("temporal takes its thresholds from the noise: give sigma, sigma_auto or "
                      "profile"),
            std::string::npos);
  host_.release_clip(src);
}

// sigma_auto measures the clip's first frames (at most 8) from the child
// once, when the filter is made; a profile gives its model's settings. Every
// frame, from any number of threads, is the library's for those settings.
TEST_F(AvsPluginTest, SigmaAutoAndProfileGiveTheModelsSettingsForEveryThreadCount) {
  // A name of its own: the programs of the other interfaces run beside this one.
  const std::string profile_file =
      "zolta-plugin-avs-test-" + std::to_string(std::random_device{}()) + ".profile";
  const char* profile_path = profile_file.c_str();
  ASSERT_TRUE(write_profile(correlated_model(), profile_path));
  struct Way {
    int format;  // index into kCases
    int frames;
    int workers;
    bool profile;  // else sigma_auto
  };
  const Way ways[] = {{0, 12, 1, false}, {0, 12, 3, false}, {18, 5, 2, false},
                      {6, 9, 3, false},  {3, 2, 2, true},   {18, 2, 1, true}};
  for (const Way& w : ways) {
    const AvsCase& c = kCases[w.format];
    SCOPED_TRACE(testing::Message() << c.name << ", " << w.frames << " frames, " << w.workers
                                    << " threads" << (w.profile ? ", profile" : ", sigma_auto"));
    const int width = 64, height = 48;
    SourceContent content{&host_, c, width, height};
    AVS_Clip* src = source(content, w.frames);
    zolta_stream stream = c.stream;
    stream.width = width;
    stream.height = height;
    zolta_noise_model model = correlated_model();
    if (!w.profile) {
      // The model of the first frames through the library, as a user would make it.
      const int count = w.frames < 8 ? w.frames : 8;
      std::vector<AVS_VideoFrame*> frames;
      std::vector<zolta_frame> inputs(static_cast<size_t>(count));
      std::vector<const zolta_frame*> pointers;
      for (int n = 0; n < count; ++n) {
        std::string e;
        frames.push_back(host_.get_frame(src, n, e));
        inputs[static_cast<size_t>(n)] = engine_input(c, frames.back(), height);
        pointers.push_back(&inputs[static_cast<size_t>(n)]);
      }
      zolta_noise_model_default(&model, ZOLTA_API_VERSION);
      ASSERT_EQ(zolta_noise_measure(&stream, pointers.data(), count, &model, nullptr), ZOLTA_OK);
      for (AVS_VideoFrame* f : frames) host_.release_frame(f);
    }
    zolta_settings expected;
    ASSERT_EQ(zolta_settings_for_model(&model, stream.family, &expected, nullptr), ZOLTA_OK);
    std::string error;
    AVS_Clip* clip = host_.invoke(
        "ZoltaDenoise", src,
        {w.profile ? AvsNamedArg{"profile", string_value(profile_path)}
                   : AvsNamedArg{"sigma_auto", bool_value(true)}},
        error);
    ASSERT_NE(clip, nullptr) << error;
    expect_engine_output(clip, src, c, width, height, expected, w.frames, w.workers);
    host_.release_clip(clip);
    host_.release_clip(src);
  }
  std::remove(profile_path);
}

TEST_F(AvsPluginTest, FormatsOutsideTheEnginesAreRefusedNamingTheFormat) {
  struct Refused {
    uint32_t pixel_type;
    const char* expect;
  };
  const Refused refused[] = {
      {0x88000008u, "the clip is YUVA420P8"}, {0x90000002u, "the clip is RGBAP"},
      {0x50000001u, "the clip is RGB24"},     {0x50010001u, "the clip is RGB48"},
      {0x50010002u, "the clip is RGB64"},     {0xA0000909u, "the clip is YUV410P8"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.expect);
    AVS_Clip* src = host_.source(video_info(r.pixel_type, 64, 32, 1), nullptr, nullptr);
    const std::string error = refusal(src, {{"config_text", string_value(kTestConfig)}});
    EXPECT_EQ(error.rfind("ZoltaDenoise: ", 0), 0u) << error;
    EXPECT_NE(error.find(r.expect), std::string::npos) << error;
    EXPECT_NE(error.find("accepted: "), std::string::npos) << error;
    host_.release_clip(src);
  }
  AVS_Clip* src = host_.source(video_info(0x60000004u, 60, 32, 1), nullptr, nullptr);
  zolta_stream narrow = {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8, 60, 32, {}};
  zolta_error e;
  ASSERT_NE(zolta_stream_check(&narrow, &e), ZOLTA_OK);
  EXPECT_EQ(refusal(src, {{"config_text", string_value(kTestConfig)}}),
            std::string("ZoltaDenoise: ") + e.message);
  host_.release_clip(src);
}

TEST_F(AvsPluginTest, BadSettingsComeBackAsErrors) {
  std::vector<AVS_Value> eight(8, int_value(0));
  std::vector<AVS_Value> over(9, int_value(0));
  over[4] = int_value(65536);
  std::vector<AVS_Value> thresholds_over(18, int_value(0));
  thresholds_over[17] = int_value(4096);
  const std::vector<AVS_Value> zeros(18, int_value(0));
  const std::vector<AVS_Value> texts = {string_value("1"), string_value("2")};
  struct Bad {
    const char* what;
    std::vector<AvsNamedArg> args;
    const char* expect;
  };
  const Bad bad[] = {
      {"none", {}, "exactly one way"},
      {"two", {{"vcf", string_value("x.vcf")}, {"sigma", float_value(5)}}, "exactly one way"},
      {"eight", {{"config", array_value(eight)}}, "config takes nine integers, not 8"},
      {"one", {{"config", int_value(5)}}, "config takes nine integers, not 1"},
      // config takes any type; what is neither integers nor a text is the face's to refuse.
      {"config of a float", {{"config", float_value(1.5f)}}, "config takes nine integers, [a"},
      {"config of texts", {{"config", array_value(texts)}}, "or the text \"Config(a, ..., i)\""},
      {"config of a bad text", {{"config", string_value("Config(1, 2)")}}, nullptr},
      {"one threshold",
       {{"thresholds", int_value(5)}},
       "thresholds takes eighteen integers, not 1"},
      {"threshold over 4095",
       {{"thresholds", array_value(thresholds_over)}},
       "thresholds value 18 (4096) is outside 0..4095"},
      {"thresholds and sigma",
       {{"thresholds", array_value(zeros)}, {"sigma", float_value(5)}},
       "exactly one way"},
      {"over", {{"config", array_value(over)}}, nullptr},
      {"missing file", {{"vcf", string_value("no-such-dir/none.vcf")}}, nullptr},
      {"sigma", {{"sigma", float_value(-1)}}, nullptr},
      {"view",
       {{"config_text", string_value(kTestConfig)}, {"view", string_value("up")}},
       "view must be normal, high or diff"},
      {"plane of grey",
       {{"config_text", string_value(kTestConfig)}, {"plane", int_value(1)}},
       "plane must be 0 for this clip"},
      {"sigma_auto and sigma",
       {{"sigma_auto", bool_value(true)}, {"sigma", float_value(5)}},
       "give the settings in exactly one way: config, config_text, vcf, sigma, thresholds, "
       "profile or sigma_auto (2 given)"},
      {"sigma_auto and profile",
       {{"sigma_auto", bool_value(true)}, {"profile", string_value("p.txt")}},
       "(2 given)"},
      {"sigma_auto and thresholds",
       {{"sigma_auto", bool_value(true)}, {"thresholds", array_value(zeros)}},
       "(2 given)"},
      {"sigma_auto off", {{"sigma_auto", bool_value(false)}}, "(0 given)"},
      {"unreadable profile",
       {{"profile", string_value("no-such-dir/p.txt")}},
       "no-such-dir/p.txt"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    SourceContent content{&host_, kCases[5], 32, 32};  // Y8
    AVS_Clip* src = source(content, 1);
    const std::string error = refusal(src, b.args);
    EXPECT_EQ(error.rfind("ZoltaDenoise: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("ZoltaDenoise: ").size());
    if (b.expect) {
      EXPECT_NE(error.find(b.expect), std::string::npos) << error;
    }
    host_.release_clip(src);
  }
  // Refused instances are released before free_filter is set.
  EXPECT_EQ(host_.filter_frees(), 0);
}

}  // namespace
