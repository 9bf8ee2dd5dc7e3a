// SPDX-License-Identifier: BSD-2-Clause
// Frame conversions between pixels and planes, on every path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "legacy_conversions.h"
#include "test_support.h"

using namespace zolta;

namespace {

uint32_t bgr(uint32_t b, uint32_t g, uint32_t r, uint32_t x = 0) {
  return b | g << 8 | r << 16 | x << 24;
}

// Fills the first `count` samples of a plane row by row.
void set_samples(float* plane, int32_t width, const std::vector<float>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    plane[(i / width) * (width + 256) + i % width] = values[i];
  }
}

}  // namespace

TEST(Rgb32Conversion, KnownColoursGiveKnownPlanes) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(8, 8, false);
    std::vector<uint32_t> src(64, bgr(255, 255, 255));
    src[1] = bgr(0, 0, 0);
    src[2] = bgr(128, 128, 128, 0xff);
    src[3] = bgr(255, 0, 0, 0x77);
    inst.state.src = src.data();
    inst.state.src_pitch = 8;
    rgb32_to_planes(inst.state);
    const FilterState& s = inst.state;
    EXPECT_EQ(s.plane_y[0], 255.0f);
    EXPECT_EQ(s.plane_cb[0], 0.0f);
    EXPECT_EQ(s.plane_cr[0], 0.0f);
    EXPECT_EQ(s.plane_y[1], 0.0f);
    EXPECT_EQ(s.plane_y[2], 128.0f);
    EXPECT_EQ(s.plane_cb[2], 0.0f);
    EXPECT_FLOAT_EQ(s.plane_y[3], 29.07f);
    EXPECT_FLOAT_EQ(s.plane_cb[3], 127.65044f);
    EXPECT_FLOAT_EQ(s.plane_cr[3], -20.72691f);

    std::vector<uint32_t> out(64, 0xffffffff);
    inst.state.proc_width = 8;
    inst.state.proc_height = 8;
    planes_to_rgb32(inst.state, out.data());
    EXPECT_EQ(out[0], bgr(255, 255, 255));
    EXPECT_EQ(out[1], bgr(0, 0, 0));
    EXPECT_EQ(out[2], bgr(128, 128, 128));
    EXPECT_EQ(out[3], bgr(255, 0, 0));  // 255.0113, -0.0427, -0.0099
  }
}

// Every one of the 16,777,216 colours survives the round trip, and byte 3
// always comes back 0.
TEST(Rgb32Conversion, EveryColourComesBackExactly) {
  const int32_t width = 4096, height = 64;
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(width, height, false);
    std::vector<uint32_t> src(size_t(width) * height), out(src.size());
    inst.state.src = src.data();
    inst.state.src_pitch = width;
    inst.state.proc_width = width;
    inst.state.proc_height = height;
    int mismatches = 0;
    for (uint32_t chunk = 0; chunk < (1u << 24) / src.size(); ++chunk) {
      for (size_t i = 0; i < src.size(); ++i) src[i] = (chunk * src.size() + i) | 0xab000000u;
      rgb32_to_planes(inst.state);
      planes_to_rgb32(inst.state, out.data());
      for (size_t i = 0; i < src.size(); ++i) mismatches += out[i] != (src[i] & 0xffffff);
    }
    EXPECT_EQ(mismatches, 0) << simd_path_name(path);
  }
}

TEST(Rgb32Conversion, ByteRuleRoundsTiesToEvenAndClamps) {
  const std::vector<float> samples = {254.5f, 255.5f, 300.0f,    -0.5f,    -7.0f,       2.5f,
                                      3.5f,   1e9f,   -40000.0f, 40000.0f, 0.49999997f, 127.5f};
  const std::vector<uint32_t> expected = {254, 255, 255, 0, 0, 2, 4, 255, 0, 255, 0, 128};
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(16, 8, false);
    inst.state.proc_width = 16;
    inst.state.proc_height = 1;
    std::vector<float> zeros(16, 0.0f);
    std::vector<float> y = samples;
    y.resize(16, 0.0f);
    set_samples(inst.state.plane_y, 16, y);
    set_samples(inst.state.plane_cb, 16, zeros);
    set_samples(inst.state.plane_cr, 16, zeros);
    std::vector<uint32_t> out(16);
    planes_to_rgb32(inst.state, out.data());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(out[i], expected[i] * 0x010101u) << simd_path_name(path) << " " << samples[i];
    }
  }
}

TEST(GrayView, RoundsOffsetsClampsAndFillsAllFourBytes) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(8, 8, false);
    inst.state.proc_width = 8;
    inst.state.proc_height = 1;
    set_samples(inst.state.plane_cb, 8,
                {0.0f, -128.4f, -127.6f, 127.4f, -200.0f, -3.0f, 17.5f, 2.5f});
    set_samples(inst.state.plane_y, 8, std::vector<float>(8, 99.0f));
    std::vector<uint32_t> out(8);
    inst.state.plane = 1;
    inst.state.mode = High;
    plane_to_gray(inst.state, out.data());
    const uint32_t high[8] = {128, 0, 0, 255, 0, 125, 146, 130};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], high[i] * 0x01010101u) << i;
    inst.state.mode = Normal;
    plane_to_gray(inst.state, out.data());
    const uint32_t normal[8] = {0, 0, 0, 127, 0, 0, 18, 2};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], normal[i] * 0x01010101u) << i;
    inst.state.plane = 0;
    plane_to_gray(inst.state, out.data());
    EXPECT_EQ(out[5], 99u * 0x01010101u);
  }
}

// Output frames from hosts need not be 16-byte aligned.
TEST(Rgb32Conversion, OutputNeedsNoAlignment) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    const int32_t w = 24, h = 8;
    const std::vector<uint32_t> src = random_words(size_t(w) * h, 3);
    Instance inst(w, h, false);
    inst.state.src = const_cast<uint32_t*>(src.data());
    inst.state.src_pitch = w;
    inst.state.proc_width = w;
    inst.state.proc_height = h;
    rgb32_to_planes(inst.state);
    std::vector<uint32_t> aligned(size_t(w) * h + 4);
    planes_to_rgb32(inst.state, aligned.data());
    for (int shift = 1; shift < 4; ++shift) {
      std::vector<uint32_t> shifted(aligned.size());
      planes_to_rgb32(inst.state, shifted.data() + shift);
      EXPECT_EQ(std::memcmp(aligned.data(), shifted.data() + shift, size_t(w) * h * 4), 0);
    }
  }
}

TEST(DiffAndCopy, WorkBytewiseOnThePictureAndRespectThePitch) {
  const int32_t w = 8, h = 2, pitch = 11;
  std::vector<uint32_t> src(size_t(pitch) * h, 0), dst(size_t(w) * h, 0);
  src[0] = bgr(100, 115, 116, 0x11);
  dst[0] = bgr(100, 100, 100, 0x22);
  src[1] = bgr(85, 84, 0);
  dst[1] = bgr(100, 100, 0, 0x33);
  src[pitch] = bgr(255, 0, 7);
  dst[w] = bgr(0, 255, 7);
  FilterState state{};
  state.src = src.data();
  state.dst = dst.data();
  state.src_pitch = pitch;
  state.width = w;
  state.height = h;
  make_diff(state);
  EXPECT_EQ(dst[0], bgr(128, 248, 255, 0x22));
  EXPECT_EQ(dst[1], bgr(8, 0, 128, 0x33));
  EXPECT_EQ(dst[w], bgr(255, 0, 128));

  for (int32_t r = 0; r < h; ++r) {
    for (int32_t x = 0; x < pitch; ++x) src[r * pitch + x] = 1000u * r + x;
  }
  copy_frame(state);
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t x = 0; x < w; ++x) EXPECT_EQ(dst[r * w + x], 1000u * r + x);
  }
  // Nothing happens for an empty frame.
  state.height = 0;
  std::vector<uint32_t> before = dst;
  copy_frame(state);
  make_diff(state);
  EXPECT_EQ(dst, before);
}

TEST(Yuy2Conversion, BytesGoToPlanesAsTheyAreAndComeBack) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (int32_t w : {8, 16, 40}) {
      const int32_t h = 8, pitch = w / 2 + 3;
      std::vector<uint32_t> src = random_words(size_t(pitch) * h, w);
      src[0] = 16u | 128u << 8 | 235u << 16 | 128u << 24;
      Instance inst(w, h, true);
      inst.state.src = src.data();
      inst.state.src_pitch = pitch;
      inst.state.proc_width = w;
      inst.state.proc_height = h;
      yuy2_to_planes(inst.state);
      EXPECT_EQ(inst.state.plane_y[0], 16.0f);
      EXPECT_EQ(inst.state.plane_y[1], 235.0f);
      EXPECT_EQ(inst.state.plane_cb[0], 128.0f);
      EXPECT_EQ(inst.state.plane_cr[0], 128.0f);
      // Chroma rows lie half the width plus 256 apart.
      const uint32_t g = src[pitch + 1];
      EXPECT_EQ(inst.state.plane_cb[w / 2 + 256 + 1], float((g >> 8) & 0xff));
      EXPECT_EQ(inst.state.plane_cr[w / 2 + 256 + 1], float(g >> 24));
      EXPECT_EQ(inst.state.plane_y[w + 256 + 3], float((g >> 16) & 0xff));
      std::vector<uint8_t> out(size_t(w) * 2 * h);
      planes_to_yuy2(inst.state, out.data());
      for (int32_t r = 0; r < h; ++r) {
        EXPECT_EQ(
            std::memcmp(out.data() + size_t(r) * w * 2, src.data() + size_t(r) * pitch, w * 2), 0)
            << simd_path_name(path) << " width " << w << " row " << r;
      }
    }
  }
}

TEST(Yuy2Conversion, ByteRuleAppliesToEverySample) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    Instance inst(8, 8, true);
    inst.state.proc_width = 8;
    inst.state.proc_height = 1;
    set_samples(inst.state.plane_y, 8, {127.5f, 128.5f, -3.0f, 255.4f, 300.0f, 0.5f, 1.5f, -0.5f});
    set_samples(inst.state.plane_cb, 4, {2.5f, 3.5f, 1000.0f, -1000.0f});
    set_samples(inst.state.plane_cr, 4, {254.5f, 255.5f, 77.0f, 0.0f});
    std::vector<uint8_t> out(17, 0x5a);
    planes_to_yuy2(inst.state, out.data() + 1);  // unaligned destination
    const uint8_t expected[16] = {128, 2, 128, 254, 0, 4, 255, 255, 255, 255, 0, 77, 2, 0, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i + 1], expected[i]) << simd_path_name(path) << i;
    EXPECT_EQ(out[0], 0x5a);
  }
}
