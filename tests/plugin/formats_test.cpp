// SPDX-License-Identifier: BSD-2-Clause
// The hosts' formats mapped to the engine's streams, and the refusals.
#include <gtest/gtest.h>

#include <string>

#include "avs_formats.h"
#include "vs_formats.h"

namespace {

VSVideoInfo vs_info(int family, int sample, int bits, int sub_w, int sub_h, int w, int h) {
  VSVideoInfo vi = {};
  vi.format = VSVideoFormat{family,
                            sample,
                            bits,
                            bits <= 8 ? 1 : bits <= 16 ? 2 : 4,
                            sub_w,
                            sub_h,
                            family == cfGray ? 1 : 3};
  vi.width = w;
  vi.height = h;
  vi.numFrames = 1;
  return vi;
}

TEST(VsFormats, FamiliesDepthsAndSubsampling) {
  struct Case {
    VSVideoInfo vi;
    int family, sample, bits;
  };
  const Case cases[] = {
      {vs_info(cfGray, stInteger, 8, 0, 0, 64, 32), ZOLTA_FAMILY_GRAY, ZOLTA_SAMPLE_INTEGER, 8},
      {vs_info(cfYUV, stInteger, 10, 1, 1, 64, 32), ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10},
      {vs_info(cfYUV, stInteger, 16, 1, 0, 64, 32), ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 16},
      {vs_info(cfYUV, stFloat, 32, 0, 0, 64, 32), ZOLTA_FAMILY_YUV444, ZOLTA_SAMPLE_FLOAT, 32},
      {vs_info(cfYUV, stInteger, 8, 2, 0, 64, 32), ZOLTA_FAMILY_YUV411, ZOLTA_SAMPLE_INTEGER, 8},
      {vs_info(cfRGB, stInteger, 12, 0, 0, 64, 32), ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 12},
  };
  for (const Case& c : cases) {
    zolta_stream s = {};
    zolta_error e;
    ASSERT_EQ(vs_stream_from_info(c.vi, "X", &s, &e), ZOLTA_OK) << e.message;
    EXPECT_EQ(s.family, c.family);
    EXPECT_EQ(s.sample, c.sample);
    EXPECT_EQ(s.bits, c.bits);
    EXPECT_EQ(s.width, 64);
    EXPECT_EQ(s.height, 32);
  }
}

TEST(VsFormats, RefusalsNameTheFormatAndWhatIsAccepted) {
  zolta_stream s = {};
  zolta_error e;
  EXPECT_EQ(vs_stream_from_info(vs_info(cfYUV, stInteger, 8, 2, 2, 64, 32), "YUV410P8", &s, &e),
            ZOLTA_ERROR_FORMAT);
  EXPECT_EQ(std::string(e.message).rfind("the clip is YUV410P8; accepted: ", 0), 0u) << e.message;
  EXPECT_EQ(vs_stream_from_info(vs_info(cfGray, stFloat, 16, 0, 0, 64, 32), "GrayH", &s, &e),
            ZOLTA_ERROR_FORMAT);
  EXPECT_EQ(vs_stream_from_info(vs_info(cfRGB, stInteger, 8, 1, 0, 64, 32), "RGB?", &s, &e),
            ZOLTA_ERROR_FORMAT);
  EXPECT_EQ(vs_stream_from_info(vs_info(cfUndefined, 0, 0, 0, 0, 64, 32), nullptr, &s, &e),
            ZOLTA_ERROR_FORMAT);
  EXPECT_NE(std::string(e.message).find("variable format"), std::string::npos);
  EXPECT_EQ(vs_stream_from_info(vs_info(cfGray, stInteger, 8, 0, 0, 0, 0), "Gray8", &s, &e),
            ZOLTA_ERROR_SIZE);
  EXPECT_NE(std::string(e.message).find("Gray8) has a variable frame size"), std::string::npos);
}

AVS_VideoInfo avs_info(uint32_t pixel_type, int w, int h) {
  AVS_VideoInfo vi = {};
  vi.width = w;
  vi.height = h;
  vi.num_frames = 1;
  vi.pixel_type = static_cast<int>(pixel_type);
  return vi;
}

TEST(AvsFormats, PlanesOfEachFamily) {
  zolta_stream s = {};
  AvsPlaneMap m;
  zolta_error e;
  // Planar RGB is stored G, B, R: the engine's R, G, B come by their ids.
  ASSERT_EQ(avs_stream_from_info(avs_info(0x90010001u, 64, 32), &s, &m, &e), ZOLTA_OK);
  EXPECT_EQ(s.family, ZOLTA_FAMILY_RGB);
  EXPECT_EQ(s.bits, 16);
  EXPECT_EQ(m.plane_ids[0], kAvsPlanarR);
  EXPECT_EQ(m.plane_ids[1], kAvsPlanarG);
  EXPECT_EQ(m.plane_ids[2], kAvsPlanarB);
  EXPECT_FALSE(m.bottom_up);
  ASSERT_EQ(avs_stream_from_info(avs_info(0x50000002u, 64, 32), &s, &m, &e), ZOLTA_OK);
  EXPECT_EQ(s.family, ZOLTA_FAMILY_RGB32);
  EXPECT_TRUE(m.bottom_up);
  // I420 differs from YV12 only in the plane-order bit.
  ASSERT_EQ(avs_stream_from_info(avs_info(0xA0000010u, 64, 32), &s, &m, &e), ZOLTA_OK);
  EXPECT_EQ(s.family, ZOLTA_FAMILY_YUV420);
  EXPECT_EQ(m.plane_ids[1], kAvsPlanarU);
  ASSERT_EQ(avs_stream_from_info(avs_info(0xE0020000u, 64, 32), &s, &m, &e), ZOLTA_OK);
  EXPECT_EQ(s.family, ZOLTA_FAMILY_GRAY);
  EXPECT_EQ(s.sample, ZOLTA_SAMPLE_FLOAT);
  EXPECT_EQ(m.planes, 1);
  ASSERT_EQ(avs_stream_from_info(avs_info(0xA0070308u, 64, 32), &s, &m, &e), ZOLTA_OK);
  EXPECT_EQ(s.family, ZOLTA_FAMILY_YUV422);
  EXPECT_EQ(s.bits, 14);
}

TEST(AvsFormats, Names) {
  char name[48];
  const std::pair<uint32_t, const char*> names[] = {
      {0x60000004u, "YUY2"},      {0x50000002u, "RGB32"},
      {0x50010001u, "RGB48"},     {0xA0000008u, "YUV420P8"},
      {0xA0050308u, "YUV422P10"}, {0xA002030Bu, "YUV444PS"},
      {0x88000008u, "YUVA420P8"}, {0xE0000000u, "Y8"},
      {0xE0020000u, "Y32"},       {0x90000001u, "RGBP"},
      {0x90060002u, "RGBAP12"},   {0x12345678u, "pixel type 0x12345678"},
  };
  for (const auto& n : names) {
    avs_format_name(static_cast<int>(n.first), name, sizeof name);
    EXPECT_STREQ(name, n.second);
  }
}

}  // namespace
