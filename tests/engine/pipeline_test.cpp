// SPDX-License-Identifier: BSD-2-Clause
// Buffers and the choices of the two frame pipelines.
#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include <cstring>
#include <vector>

#include "test_support.h"

using namespace zolta;

namespace {

struct Rgb32Run {
  std::vector<uint32_t> src, dst;
  Instance inst;
  Rgb32Run(int32_t w, int32_t h, uint32_t seed)
      : src(random_words(size_t(w) * h, seed)), dst(size_t(w) * h, 0x12345678), inst(w, h, false) {}
  const std::vector<uint32_t>& run() {
    inst.run(src.data(), inst.state.width, dst.data());
    return dst;
  }
};

}  // namespace

TEST(PlaneBuffers, RowsAreAlignedAndSpacedForBothFormats) {
  for (bool yuy2 : {false, true}) {
    Instance inst(16, 8, yuy2);
    const FilterState& s = inst.state;
    ASSERT_NE(s.plane_block, nullptr);
    const size_t plane = 8 * (16 + 256);
    EXPECT_EQ(s.plane_cb, s.plane_y + plane);
    EXPECT_EQ(s.plane_cr, s.plane_y + 2 * plane);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s.plane_y) % 16, 0u);
    // The first row has room for its leading extension inside the block.
    EXPECT_GE(reinterpret_cast<char*>(s.plane_y - 128), static_cast<char*>(s.plane_block) - 15);
  }
  Instance inst(16, 8, false);
  free_buffers(inst.state);
  EXPECT_EQ(inst.state.plane_block, nullptr);
  free_buffers(inst.state);  // twice is harmless
}

TEST(Rgb32Pipeline, OutputFollowsTheSwitchModeAndView) {
  const int32_t w = 16, h = 16;
  {  // Off: an exact copy, whatever the mode.
    Rgb32Run r(w, h, 1);
    r.inst.state.enabled = 0;
    r.inst.state.mode = Diff;
    r.inst.state.show_plane = 1;
    r.inst.state.thresholds[0][0] = 50;
    EXPECT_EQ(r.run(), r.src);
  }
  {  // No level on: the colour round trip, byte 3 cleared.
    Rgb32Run r(w, h, 2);
    const std::vector<uint32_t>& out = r.run();
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], r.src[i] & 0xffffff) << i;
  }
  {  // Diff with no level on: 128 in every colour byte; byte 3 as written.
    Rgb32Run r(w, h, 3);
    r.inst.state.mode = Diff;
    r.inst.state.show_plane = 1;  // Diff wins over the grey view
    for (uint32_t px : r.run()) ASSERT_EQ(px, 0x808080u);
  }
  {  // High without the plane view still shows the grey view.
    Rgb32Run r(w, h, 4);
    r.inst.state.mode = High;
    r.inst.state.plane = 0;
    r.inst.state.thresholds[0][0] = 16;
    for (uint32_t px : r.run()) {
      ASSERT_EQ(px & 0xff, (px >> 8) & 0xff);
      ASSERT_EQ(px & 0xff, px >> 24);
    }
  }
  {  // The plane view in Normal mode shows the selected plane without offset:
     // Cb of a grey picture is black.
    Rgb32Run r(w, h, 5);
    for (uint32_t& px : r.src) px = 0x00808080u;
    r.inst.state.show_plane = 1;
    r.inst.state.plane = 1;
    for (uint32_t px : r.run()) ASSERT_EQ(px, 0u);
    r.inst.state.plane = 0;
    for (uint32_t px : r.run()) ASSERT_EQ(px, 0x80808080u);
    // A plane number outside 0..2 shows the Y plane.
    r.inst.state.plane = 1000000;
    for (uint32_t px : r.run()) ASSERT_EQ(px, 0x80808080u);
    r.inst.state.plane = -1;
    for (uint32_t px : r.run()) ASSERT_EQ(px, 0x80808080u);
  }
}

TEST(Rgb32Pipeline, FramesAreIndependentAndSettingsApplyFromTheNextFrame) {
  Rgb32Run r(24, 16, 9);
  r.inst.state.thresholds[1][0] = 40;
  r.inst.state.thresholds[0][3] = 12;
  const std::vector<uint32_t> first = r.run();
  r.inst.state.thresholds[0][0] = 200;
  const std::vector<uint32_t> second = r.run();
  EXPECT_NE(first, second);
  r.inst.state.thresholds[0][0] = 0;
  EXPECT_EQ(r.run(), first);
}

TEST(Yuy2Pipeline, NoLevelOnGivesTheSourceBackAndIgnoresTheSwitches) {
  const int32_t w = 24, h = 8, pitch = 15;
  const std::vector<uint32_t> src = random_words(size_t(pitch) * h, 11);
  Instance inst(w, h, true);
  std::vector<uint32_t> dst(size_t(w / 2) * h);
  inst.state.enabled = 0;
  inst.state.show_plane = 1;
  inst.state.mode = Diff;
  inst.run(src.data(), pitch, dst.data());
  EXPECT_EQ(inst.state.proc_width, w);
  EXPECT_EQ(inst.state.proc_height, h);
  EXPECT_EQ(inst.state.filters.analysis_low[0], 0.341506362f);
  for (int32_t r = 0; r < h; ++r) {
    EXPECT_EQ(std::memcmp(dst.data() + r * (w / 2), src.data() + r * pitch, w * 2), 0) << r;
  }
}

namespace {

// The processor's floating-point control word, and a mode a host thread
// might leave behind: rounding down, flushing tiny values to zero, and on x86
// treating tiny inputs as zero and trapping invalid operations.
#if defined(__x86_64__) || defined(__i386__)
unsigned float_control() {
  return _mm_getcsr();
}
void set_float_control(unsigned mode) {
  _mm_setcsr(mode);
}
const unsigned kHostMode = (0x1f80u & ~0x0080u) | 0x2000u | 0x8000u | 0x0040u;
#elif defined(__aarch64__)
unsigned float_control() {
  uint64_t fpcr;
  __asm__ volatile("mrs %0, fpcr" : "=r"(fpcr));
  return static_cast<unsigned>(fpcr);
}
void set_float_control(unsigned mode) {
  __asm__ volatile("msr fpcr, %0" : : "r"(uint64_t{mode}));
}
const unsigned kHostMode = (2u << 22) | (1u << 24) | (1u << 25);  // RMode -inf, FZ, DN
#endif

}  // namespace

#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__)
// A host thread may leave another rounding mode, flushing of tiny values or
// unmasked exceptions behind; frames come out the same and the mode is given
// back.
TEST(FloatMode, FramesIgnoreTheHostsFloatingPointModeAndRestoreIt) {
  const int32_t w = 32, h = 16;
  ref::Settings s;
  for (auto& plane : s.thresholds) {
    for (auto& v : plane) v = 37;
  }
  const std::vector<uint32_t> src = random_words(size_t(w) * h, 21);
  const ref::Rgb32Result rgb = ref::process_rgb32(src.data(), w, w, h, s);
  const ref::Yuy2Result yuy2 = ref::process_yuy2(src.data(), w / 2, w, h, s);
  const unsigned host_mode = kHostMode;
  for (bool as_yuy2 : {false, true}) {
    Instance inst(w, h, as_yuy2);
    inst.apply(s);
    std::vector<uint32_t> dst(size_t(w) * h);
    const unsigned before = float_control();
    set_float_control(host_mode);
    inst.run(src.data(), as_yuy2 ? w / 2 : w, dst.data());
    const unsigned after = float_control();
    set_float_control(before);
    EXPECT_EQ(after, host_mode);
    if (as_yuy2) {
      EXPECT_TRUE(same_bytes(reinterpret_cast<const uint8_t*>(dst.data()), yuy2.out));
    } else {
      EXPECT_TRUE(same_bytes(dst.data(), rgb.out));
    }
  }
}
#endif
