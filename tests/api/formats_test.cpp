// SPDX-License-Identifier: BSD-2-Clause
// Every format, depth and view of the public interface against the scalar
// model, bit for bit; frames in place, with odd and negative strides.
#include <gtest/gtest.h>

#include <string>

#include "api_support.h"

namespace {

struct ViewCase {
  const char* name;
  int32_t view, show_plane, plane, enabled;
};

const ViewCase kViews[] = {
    {"normal", ZOLTA_VIEW_NORMAL, 0, 0, 1},   {"high Y", ZOLTA_VIEW_HIGH, 0, 0, 1},
    {"high Cb", ZOLTA_VIEW_HIGH, 0, 1, 1},    {"diff", ZOLTA_VIEW_DIFF, 0, 0, 1},
    {"show Cr", ZOLTA_VIEW_NORMAL, 1, 2, 1},  {"show Y", ZOLTA_VIEW_NORMAL, 1, 0, 1},
    {"diff shown", ZOLTA_VIEW_DIFF, 1, 1, 1}, {"off", ZOLTA_VIEW_NORMAL, 0, 0, 0},
};

zolta_settings with(zolta_settings s, const ViewCase& v) {
  s.view = v.view;
  s.show_plane = v.show_plane;
  s.plane = v.plane;
  s.enabled = v.enabled;
  return s;
}

// The model's output for a frame.
TestFrame model_output(const zolta_settings& settings, const TestFrame& in) {
  TestFrame model = make_frame(in.stream, 0, false, 0, 0x5a);
  ref::process_format(model_format(in.stream), in.ref(), model.ref(), model_settings(settings));
  return model;
}

// Runs the engine and the model on the same frame; the engine's output goes
// into a frame laid out as `out_extra` / `out_negative` say.
void expect_matches_model(const zolta_stream& stream, const zolta_settings& settings,
                          const TestFrame& in, int32_t out_extra = 0, bool out_negative = false) {
  TestFrame engine = make_frame(stream, out_extra, out_negative, 0, 0x5a);
  Denoiser d(stream, settings);
  zolta_error error{};
  ASSERT_EQ(d.process(in, engine, &error), ZOLTA_OK) << error.message;
  EXPECT_TRUE(same_frames(engine, model_output(settings, in)));
}

TEST(ApiFormats, EveryFormatDepthAndViewMatchesTheModelInPlaceAndAtAnyStride) {
  uint32_t seed = 1;
  for (const FormatCase& fc : every_format()) {
    const zolta_stream stream = stream_of(fc, 32, 16);
    const TestFrame in = make_frame(stream, 0, false, seed++);
    for (const ViewCase& v : kViews) {
      SCOPED_TRACE(format_name(fc) + " " + v.name);
      const zolta_settings s = with(random_settings(seed++, 160), v);
      expect_matches_model(stream, s, in);
      // The output over the input (in a wider layout).
      TestFrame frame = copy_layout(in, 8, false);
      ASSERT_EQ(Denoiser(stream, s).process(frame, frame), ZOLTA_OK);
      EXPECT_TRUE(same_frames(frame, model_output(s, in))) << "in place";
    }
    // Odd extra bytes only where samples are bytes; wider samples keep their
    // alignment. Negative strides on either side.
    SCOPED_TRACE(format_name(fc) + " strides");
    const zolta_settings s = random_settings(seed++, 120);
    const int32_t extra = fc.sample == ZOLTA_SAMPLE_FLOAT ? 12 : (fc.bits > 8 ? 6 : 3);
    expect_matches_model(stream, s, copy_layout(in, extra, true), extra + 4, false);
    expect_matches_model(stream, s, copy_layout(in, extra, false), 0, true);
  }
}

TEST(ApiFormats, HighThresholdsAndFullLevelsMatchTheModel) {
  // Every level on, thresholds up to the public maximum: the steps of the
  // coarsest levels wrap around small planes.
  uint32_t seed = 500;
  for (const FormatCase& fc : every_format()) {
    SCOPED_TRACE(format_name(fc));
    zolta_settings s;
    zolta_settings_default(&s, ZOLTA_API_VERSION);
    for (auto& plane : s.thresholds) {
      for (auto& dir : plane) {
        for (int l = 0; l < 3; ++l) dir[l] = l == 0 ? ZOLTA_THRESHOLD_MAX : 40 + 100 * l;
      }
    }
    const zolta_stream stream = stream_of(fc, 16 * 4, 8);
    expect_matches_model(stream, s, make_frame(stream, 0, false, seed++));
  }
}

TEST(ApiFormats, PlanesOfEveryWidthAndHeightMatchTheModel) {
  // Columns run in groups of sixteen: widths that leave 4, 8 and 12 columns
  // over, planes narrower than one group, and heights down to 4 rows (where
  // every column step wraps around the plane more than once).
  const struct {
    int32_t width, height;
  } kSizes[] = {{40, 24}, {24, 40}, {8, 8}, {56, 8}, {16, 4}, {8, 72}, {200, 12}};
  const FormatCase kFormats[] = {{ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8},
                                 {ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_INTEGER, 16},
                                 {ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_FLOAT, 32},
                                 {ZOLTA_FAMILY_YUV411, ZOLTA_SAMPLE_INTEGER, 10}};
  uint32_t seed = 700;
  for (const FormatCase& fc : kFormats) {
    for (const auto& size : kSizes) {
      const zolta_stream stream = stream_of(fc, size.width, size.height);
      zolta_error error{};
      if (zolta_stream_check(&stream, &error) != ZOLTA_OK) continue;  // 4:1:1 wants width 16 k
      SCOPED_TRACE(format_name(fc) + " " + std::to_string(size.width) + "x" +
                   std::to_string(size.height));
      const TestFrame in = make_frame(stream, 0, false, seed++);
      expect_matches_model(stream, random_settings(seed++, 400), in);
      expect_matches_model(stream, with(random_settings(seed++, 400), kViews[1]), in);
    }
  }
}

TEST(ApiFormats, UpdatedSettingsTakeEffectOnTheNextFrame) {
  const zolta_stream stream = stream_of({ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10}, 32, 16);
  const TestFrame in = make_frame(stream, 0, false, 77);
  zolta_settings first = random_settings(78, 100);
  Denoiser d(stream, first);
  zolta_settings second = random_settings(79, 200);
  second.view = ZOLTA_VIEW_DIFF;
  zolta_error error{};
  ASSERT_EQ(zolta_denoiser_update(d.d, &second, &error), ZOLTA_OK) << error.message;
  TestFrame engine = make_frame(stream, 0, false, 0);
  ASSERT_EQ(d.process(in, engine), ZOLTA_OK);
  EXPECT_TRUE(same_frames(engine, model_output(second, in)));
}

}  // namespace
