// SPDX-License-Identifier: BSD-2-Clause
// Every refusal of the public interface: its code, and a message that names
// the format and the rule.
#include <gtest/gtest.h>

#include <string>

#include "api_support.h"

namespace {

std::string check(zolta_stream s, int expected) {
  zolta_error error{};
  EXPECT_EQ(zolta_stream_check(&s, &error), expected);
  EXPECT_EQ(error.code, expected);
  return error.message;
}

TEST(Refusals, StreamsNameTheFormatAndTheRule) {
  using S = zolta_stream;
  const int32_t I = ZOLTA_SAMPLE_INTEGER, F = ZOLTA_SAMPLE_FLOAT;
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, I, 8, 1918, 1080, {}}, ZOLTA_ERROR_SIZE),
            "4:2:0 needs width and height that are multiples of 8; got 1918 x 1080");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV422, I, 10, 1920, 1082, {}}, ZOLTA_ERROR_SIZE),
            "4:2:2 needs a width that is a multiple of 8 and a height that is a multiple of 4; "
            "got 1920 x 1082");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV411, I, 8, 1928, 1080, {}}, ZOLTA_ERROR_SIZE),
            "4:1:1 needs a width that is a multiple of 16 and a height that is a multiple of 4; "
            "got 1928 x 1080");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUY2, I, 8, 4, 4, {}}, ZOLTA_ERROR_SIZE),
            "YUY2 needs a width that is a multiple of 8 and a height that is a multiple of 4; "
            "got 4 x 4");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_GRAY, F, 32, 0, 8, {}}, ZOLTA_ERROR_SIZE),
            "GRAY needs width and height that are multiples of 4; got 0 x 8");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB, I, 8, 8, -4, {}}, ZOLTA_ERROR_SIZE),
            "planar RGB needs width and height that are multiples of 4; got 8 x -4");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV444, I, 8, 2147483644, 2147483644, {}}, ZOLTA_ERROR_SIZE),
            "4:4:4 frame of 2147483644 x 2147483644 does not fit in memory");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV444, I, 11, 8, 8, {}}, ZOLTA_ERROR_FORMAT),
            "4:4:4 integer samples have 8, 9, 10, 12, 14 or 16 bits; got 11");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV444, F, 16, 8, 8, {}}, ZOLTA_ERROR_FORMAT),
            "4:4:4 float samples have 32 bits; got 16");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB32, I, 10, 8, 8, {}}, ZOLTA_ERROR_FORMAT),
            "RGB32 has 8-bit integer samples only; got 10 bits");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB24, F, 32, 8, 8, {}}, ZOLTA_ERROR_FORMAT),
            "RGB24 has 8-bit integer samples only; got float");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, 9, I, 8, 8, 8, {}}, ZOLTA_ERROR_FORMAT), "unknown format family 9");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_GRAY, 2, 8, 8, 8, {}}, ZOLTA_ERROR_FORMAT),
            "GRAY: unknown sample type 2");
  EXPECT_EQ(check(S{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, I, 16, 8, 8, {}}, ZOLTA_OK), "");
  EXPECT_EQ(zolta_stream_check(nullptr, nullptr), ZOLTA_ERROR_ARGUMENT);
}

TEST(Refusals, SettingsOutsideTheirRangesAreRefusedAtCreateAndUpdate) {
  const zolta_stream s{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 16, 16, {}};
  zolta_denoiser_config config{ZOLTA_API_VERSION, s, {}, 1, 0, 0, {}};
  zolta_settings_default(&config.settings, ZOLTA_API_VERSION);
  zolta_denoiser* d = reinterpret_cast<zolta_denoiser*>(&config);  // must become null
  zolta_error error{};
  config.settings.thresholds[2][1][2] = ZOLTA_THRESHOLD_MAX + 1;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_EQ(d, nullptr);
  EXPECT_STREQ(error.message,
               "threshold [plane 2][direction 1][level 2] is 4096; thresholds lie in 0..4095");
  config.settings.thresholds[2][1][2] = -1;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_SETTINGS);
  config.settings.thresholds[2][1][2] = ZOLTA_THRESHOLD_MAX;
  config.settings.view = 3;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_STREQ(error.message, "view 3 is none of normal (0), high (1), diff (2)");
  config.settings.view = ZOLTA_VIEW_HIGH;
  config.settings.plane = 3;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_STREQ(error.message, "plane 3 is not 0, 1 or 2");
  config.settings.plane = 2;
  config.threads = -1;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_STREQ(error.message, "threads is -1; it lies in 0..1024");
  config.threads = 0;
  config.stream.width = 12;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_SIZE);
  config.stream.width = 16;
  ASSERT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(error.code, ZOLTA_OK);
  zolta_settings bad = config.settings;
  bad.thresholds[0][0][0] = 5000;
  EXPECT_EQ(zolta_denoiser_update(d, &bad, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_EQ(zolta_denoiser_update(d, nullptr, &error), ZOLTA_ERROR_ARGUMENT);
  zolta_denoiser_destroy(d);
  EXPECT_EQ(zolta_denoiser_create(nullptr, &d, &error), ZOLTA_ERROR_ARGUMENT);
}

TEST(Refusals, WorkingAreasThatCannotBeAllocated) {
  // A valid stream whose working area (about 4 TB) no allocator gives.
  zolta_denoiser_config config{
      ZOLTA_API_VERSION,
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8, 1 << 20, 1 << 20, {}},
      {},
      2,
      0,
      0,
      {}};
  zolta_settings_default(&config.settings, ZOLTA_API_VERSION);
  zolta_denoiser* d = nullptr;
  zolta_error error{};
  ASSERT_EQ(zolta_stream_check(&config.stream, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_ERROR_MEMORY);
  EXPECT_EQ(d, nullptr);
  EXPECT_STREQ(error.message, "out of memory for 2 work areas of GRAY frames of 1048576 x 1048576");
}

TEST(Refusals, FramesThatDoNotMatchTheStream) {
  const zolta_stream s{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10, 16, 16, {}};
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  Denoiser d(s, settings);
  TestFrame in = make_frame(s, 0, false, 3);
  TestFrame out = make_frame(s, 0, false, 0);
  zolta_error error{};
  ASSERT_EQ(d.process(in, out, &error), ZOLTA_OK);

  TestFrame t = in;
  t.frame.data[2] = nullptr;
  EXPECT_EQ(d.process(t, out, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message, "input frame: plane 2 has no data");
  t = in;
  t.frame.stride[1] = -14;
  EXPECT_EQ(d.process(t, out, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "input frame: plane 1 has a stride of -14 bytes, less than its row of 16 bytes");
  t = out;
  t.frame.stride[0] = 33;
  EXPECT_EQ(d.process(in, t, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "output frame: plane 0 is not aligned to its 2-byte samples (pointer and stride)");
  t = out;
  t.frame.data[0] = static_cast<uint8_t*>(t.frame.data[0]) + 1;
  EXPECT_EQ(d.process(in, t, &error), ZOLTA_ERROR_FRAME);
  t = in;
  t.frame.stride[0] += 2;
  EXPECT_EQ(zolta_denoiser_process(d.d, &in.frame, &t.frame, &error), ZOLTA_ERROR_FRAME);
  EXPECT_STREQ(error.message,
               "plane 0: input and output start at the same place with other strides");
  EXPECT_EQ(zolta_denoiser_process(nullptr, &in.frame, &out.frame, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_denoiser_process(d.d, &in.frame, nullptr, &error), ZOLTA_ERROR_ARGUMENT);
}

TEST(Refusals, StreamPlanesAndSizesOfEveryFamily) {
  const zolta_stream yuv{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV411, ZOLTA_SAMPLE_INTEGER, 8, 32, 8, {}};
  int32_t w, h;
  EXPECT_EQ(zolta_stream_planes(&yuv), 3);
  zolta_stream_plane_size(&yuv, 2, &w, &h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  const zolta_stream yuy2{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8, 32, 8, {}};
  EXPECT_EQ(zolta_stream_planes(&yuy2), 1);
  zolta_stream_plane_size(&yuy2, 1, &w, &h);
  EXPECT_EQ(w, 0);
  const zolta_stream bad{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 12, 8, {}};
  EXPECT_EQ(zolta_stream_planes(&bad), 0);
  EXPECT_EQ(zolta_version(), (1 << 16) | 2);
  EXPECT_STREQ(zolta_version_text(), "zolta 1.2");
}

}  // namespace
