// SPDX-License-Identifier: BSD-2-Clause
// The temporal step's loops on every path give the plain path's bits: the
// step's result, the frames each sample joined, the block matches, and the
// detail given back over planes and strips; on planes whose sizes are not
// multiples of the block or of any vector, with motion, noise, and samples
// far apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "dsp.h"
#include "test_support.h"

namespace {

using zolta::BlockMatch;
using zolta::DspKernels;

struct Planes {
  int32_t width, rows;
  ptrdiff_t stride;
  std::vector<float> centre;
  std::vector<std::vector<float>> others;
};

// A smooth picture moved by a few samples per frame, with noise; a corner
// of one frame replaced by something else, and the third frame lit brighter
// (another scene, left out whole where the threshold is not too large).
Planes make_planes(int32_t width, int32_t rows, int32_t count, uint32_t seed) {
  Planes p{width, rows, width + 9, {}, {}};
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 6.0f);
  auto picture = [&](int32_t x, int32_t r) {
    return 120.0f + 60.0f * std::sin(0.21f * float(x) + 0.13f * float(r)) +
           40.0f * std::cos(0.07f * float(x) - 0.17f * float(r));
  };
  auto frame = [&](int32_t dx, int32_t dy) {
    std::vector<float> f(size_t(p.stride) * rows, -7.0f);
    for (int32_t r = 0; r < rows; ++r) {
      for (int32_t x = 0; x < width; ++x)
        f[size_t(r) * p.stride + x] = picture(x - dx, r - dy) + noise(rng);
    }
    return f;
  };
  p.centre = frame(0, 0);
  for (int32_t k = 0; k < count; ++k) {
    p.others.push_back(frame(2 * (k + 1), -(k + 1)));
    if (k == 1) {
      for (int32_t r = 0; r < rows / 4; ++r) {
        for (int32_t x = 0; x < width / 4; ++x) p.others[k][size_t(r) * p.stride + x] = 255.0f;
      }
    }
    if (k == 2) {
      for (float& v : p.others[k]) v += 30.0f;
    }
  }
  return p;
}

struct Step {
  std::vector<float> result, kept;
  std::vector<uint8_t> joined;
  std::vector<BlockMatch> matches[zolta::kMaxNeighbours];
  int32_t taken = 0;  // the other frames the step took
};

// The step's rows of scratch for planes `width` samples wide, in `rows`.
zolta::TemporalRows temporal_rows(int32_t width, std::vector<float>& rows) {
  const size_t row = size_t(width) + 16;
  rows.assign(size_t(zolta::kTemporalRowCount) * row, 0.0f);
  zolta::TemporalRows scratch{};
  for (int i = 0; i < zolta::kMaxNeighbours; ++i) {
    scratch.limits[i] = rows.data() + i * row;
    scratch.moved[i] = rows.data() + (zolta::kMaxNeighbours + i) * row;
  }
  scratch.counts = reinterpret_cast<uint8_t*>(rows.data() + 2 * zolta::kMaxNeighbours * row);
  return scratch;
}

// A curve of noise that falls from the dark to the bright, above 1 below
// 96 (the test pictures lie between 20 and 220), and none.
const zolta::BrightnessCurve* curve_case(bool on) {
  static const zolta::BrightnessCurve falling = [] {
    uint16_t gains[zolta::kBrightnessBands];
    for (int32_t k = 0; k < zolta::kBrightnessBands; ++k) gains[k] = uint16_t(1400 - 70 * k);
    return zolta::brightness_curve(gains);
  }();
  return on ? &falling : nullptr;
}

// Thresholds, each with or without that curve: one whose quarter (the
// largest difference that joins) is below one sample, one where it is not
// a whole number (1.5), whole, and above every difference.
const struct {
  int32_t threshold;
  bool curved;
} kStepCases[] = {{1, false},   {6, false},    {6, true},    {160, false},
                  {160, true},  {4095, false}, {4095, true}};

Step run_step(const DspKernels& k, const Planes& p, int32_t threshold,
              const zolta::BrightnessCurve* curve) {
  Step s;
  const size_t size = size_t(p.stride) * p.rows;
  s.result.assign(size, 0.0f);
  s.kept.assign(size, 0.0f);
  s.joined.assign(size, 0);
  std::vector<float> rows;
  const zolta::TemporalRows scratch = temporal_rows(p.width, rows);
  const float* others[zolta::kMaxNeighbours];
  BlockMatch* matches[zolta::kMaxNeighbours];
  const size_t blocks = size_t(zolta::blocks_along(p.width)) * zolta::blocks_along(p.rows);
  for (size_t i = 0; i < p.others.size(); ++i) {
    others[i] = p.others[i].data();
    s.matches[i].assign(blocks, BlockMatch{});
    matches[i] = s.matches[i].data();
  }
  s.taken = k.temporal_plane(p.centre.data(), s.result.data(), others, matches,
                             int32_t(p.others.size()), p.stride, p.width, p.rows, threshold, curve,
                             scratch, s.kept.data(), s.joined.data(), nullptr);
  return s;
}

// The planes as an 8-bit stream's frames hold them (rounded, clamped), each
// frame's rows its own number of bytes apart, and the same values as floats
// with the float planes' stride.
struct BytePlanes {
  std::vector<std::vector<uint8_t>> frames;  // the centre first
  zolta::BytePlanes window{};
  Planes floats;
};

BytePlanes to_bytes(const Planes& p) {
  BytePlanes b;
  b.floats = p;
  std::vector<const std::vector<float>*> all{&b.floats.centre};
  for (auto& o : b.floats.others) all.push_back(&o);
  for (size_t i = 0; i < all.size(); ++i) {
    const ptrdiff_t stride = p.width + 3 + 5 * ptrdiff_t(i);
    std::vector<uint8_t> f(size_t(stride) * p.rows, 0);
    std::vector<float>& v = const_cast<std::vector<float>&>(*all[i]);
    for (int32_t r = 0; r < p.rows; ++r) {
      for (int32_t x = 0; x < p.width; ++x) {
        const float s = std::nearbyint(std::clamp(v[size_t(r) * p.stride + x], 0.0f, 255.0f));
        f[size_t(r) * stride + x] = uint8_t(s);
        v[size_t(r) * p.stride + x] = s;
      }
    }
    b.frames.push_back(std::move(f));
    b.window.stride[i] = stride;
  }
  for (size_t i = 0; i < b.frames.size(); ++i) b.window.plane[i] = b.frames[i].data();
  return b;
}

Step run_bytes(const DspKernels& k, const BytePlanes& b, int32_t threshold,
               const zolta::BrightnessCurve* curve) {
  const Planes& p = b.floats;
  Step s = run_step(k, p, threshold, curve);  // the same buffers, then the byte entry over them
  std::vector<float> rows;
  const zolta::TemporalRows scratch = temporal_rows(p.width, rows);
  std::fill(s.result.begin(), s.result.end(), 0.0f);
  std::fill(s.kept.begin(), s.kept.end(), 0.0f);
  std::fill(s.joined.begin(), s.joined.end(), 0);
  BlockMatch* matches[zolta::kMaxNeighbours];
  for (size_t i = 0; i < p.others.size(); ++i) {
    std::fill(s.matches[i].begin(), s.matches[i].end(), BlockMatch{});
    matches[i] = s.matches[i].data();
  }
  s.taken = k.temporal_plane_bytes(b.window, int32_t(p.others.size()), s.result.data(), p.stride,
                                   matches, p.width, p.rows, threshold, curve, scratch,
                                   s.kept.data(), s.joined.data());
  return s;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// The first `count` frames' block matches of `a` and `b` hold the same bytes.
void expect_same_matches(const std::vector<BlockMatch>* a, const std::vector<BlockMatch>* b,
                         int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    ASSERT_EQ(a[i].size(), b[i].size());
    EXPECT_EQ(std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(BlockMatch)), 0);
  }
}

testing::Message case_name(const DspKernels& k, std::pair<int32_t, int32_t> size, int32_t count,
                           int32_t threshold, bool curved) {
  return testing::Message() << k.name << " " << size.first << "x" << size.second << " frames "
                            << count << " v " << threshold << (curved ? " curve" : "");
}

// Planes of floats: one block, narrow ones, and many. Planes of bytes: one
// block; a narrow block after a whole one; rows of an even and of an odd
// number of whole blocks (taken two at a time), each with a narrow one after
// them or not.
constexpr std::pair<int32_t, int32_t> kFloatSizes[] = {
    {8, 8}, {13, 9}, {64, 40}, {101, 37}, {240, 144}};
constexpr std::pair<int32_t, int32_t> kByteSizes[] = {{8, 8},    {13, 9},  {27, 11},
                                                      {101, 37}, {40, 16}, {240, 144}};

// One case: the planes (as bytes too, when the case is of bytes), the step
// the plain path takes over their floats, and the path to hold to it.
struct Case {
  const DspKernels& plain;
  const DspKernels& k;
  const BytePlanes& b;
  int32_t count, threshold;
  const zolta::BrightnessCurve* curve;
  const Step& want;
};

// Calls `check` on every path for every one of `sizes`, number of frames
// and threshold, the planes made from `seed` on, rounded to bytes or not.
template <size_t N, typename Check>
void for_each_case(const std::pair<int32_t, int32_t> (&sizes)[N], bool bytes, uint32_t seed,
                   Check check) {
  const DspKernels& plain = *zolta::dsp_kernels_for(zolta::kSimdPlain);
  for (const auto& size : sizes) {
    for (int32_t count = 1; count <= zolta::kMaxNeighbours; ++count) {
      for (const auto& [threshold, curved] : kStepCases) {
        const zolta::BrightnessCurve* curve = curve_case(curved);
        const Planes p = make_planes(size.first, size.second, count, seed++);
        const BytePlanes b = bytes ? to_bytes(p) : BytePlanes{{}, {}, p};
        const Step want = run_step(plain, b.floats, threshold, curve);
        for (zolta::SimdPath path : available_paths()) {
          const DspKernels& k = *zolta::dsp_kernels_for(path);
          SCOPED_TRACE(case_name(k, size, count, threshold, curved));
          check(Case{plain, k, b, count, threshold, curve, want});
        }
      }
    }
  }
}

TEST(TemporalKernels, EveryPathGivesThePlainPathsBits) {
  for_each_case(kFloatSizes, false, 11, [](const Case& c) {
    const DspKernels &plain = c.plain, &k = c.k;
    const Planes& p = c.b.floats;
    const int32_t threshold = c.threshold, count = c.count;
    const Step &a = c.want, b = run_step(k, p, threshold, c.curve);
    EXPECT_TRUE(same_bits(a.result, b.result));
    EXPECT_TRUE(same_bits(a.kept, b.kept));
    EXPECT_EQ(a.joined, b.joined);
    EXPECT_EQ(a.taken, b.taken);
    // On planes of many blocks (few blocks are mostly at the edges, where a
    // moved block leaves the plane) the moved frames join and the lit one is
    // left out.
    if (threshold == 160 && p.width >= 240) {
      EXPECT_GT(*std::max_element(a.joined.begin(), a.joined.end()), 1);
      EXPECT_EQ(a.taken, count > 2 ? count - 1 : count);
    }
    // A curve holds the bright blocks to less and leaves the frames taken as
    // they are: fewer of the brightest samples join.
    if (c.curve != nullptr && threshold == 160 && p.width >= 240) {
      const Step flat = run_step(plain, p, threshold, nullptr);
      EXPECT_EQ(a.taken, flat.taken);
      size_t with = 0, without = 0;
      for (size_t i = 0; i < a.joined.size(); ++i) {
        with += p.centre[i] > 180.0f ? a.joined[i] : 0;
        without += p.centre[i] > 180.0f ? flat.joined[i] : 0;
      }
      EXPECT_LT(with, without);
    }
    expect_same_matches(a.matches, b.matches, count);
    // The detail given back, over the plane and over a strip.
    for (int32_t radius = 1; radius <= 2; ++radius) {
      std::vector<float> u = p.others[0], v = p.others[0];
      plain.restore_detail(u.data(), a.kept.data(), a.joined.data(), p.stride, p.width, p.rows, 97,
                           radius);
      k.restore_detail(v.data(), a.kept.data(), a.joined.data(), p.stride, p.width, p.rows, 97,
                       radius);
      EXPECT_TRUE(same_bits(u, v));
      const int32_t strip = p.width < 16 ? p.width : 16;
      std::vector<float> in(size_t(strip) * p.rows), x(in.size()), y(in.size());
      for (size_t i = 0; i < in.size(); ++i) in[i] = p.centre[i] * 0.5f;
      plain.restore_strip(in.data(), a.kept.data(), a.joined.data(), p.stride, strip, p.rows, 200,
                          radius, x.data());
      k.restore_strip(in.data(), a.kept.data(), a.joined.data(), p.stride, strip, p.rows, 200,
                      radius, y.data());
      EXPECT_TRUE(same_bits(x, y));
    }
  });
}

// The step over an 8-bit stream's bytes gives the bits of the step over the
// float planes of the same values, on every path.
TEST(TemporalKernels, BytesGiveTheFloatPlanesBits) {
  for_each_case(kByteSizes, true, 71, [](const Case& c) {
    const Step got = run_bytes(c.k, c.b, c.threshold, c.curve);
    EXPECT_TRUE(same_bits(c.want.result, got.result));
    EXPECT_TRUE(same_bits(c.want.kept, got.kept));
    EXPECT_EQ(c.want.joined, got.joined);
    EXPECT_EQ(c.want.taken, got.taken);
    expect_same_matches(c.want.matches, got.matches, c.count);
  });
}

// The step over bytes in two halves (the blocks judged, then the result
// row by row with its sums and counts, the detail given back from those)
// gives the whole step's bits, on every path.
TEST(TemporalKernels, BytesRowByRowGiveTheWholeStepsBits) {
  for_each_case(kByteSizes, true, 131, [](const Case& c) {
    const Planes& p = c.b.floats;
    const Step& want = c.want;
    const size_t blocks = size_t(zolta::blocks_along(p.width)) * zolta::blocks_along(p.rows);
    std::vector<BlockMatch> matches[zolta::kMaxNeighbours];
    BlockMatch* pointers[zolta::kMaxNeighbours];
    for (int32_t i = 0; i < c.count; ++i) {
      matches[i].assign(blocks, BlockMatch{});
      pointers[i] = matches[i].data();
    }
    std::vector<zolta::BlockStep> room(blocks * c.count);
    zolta::ByteAveraging averaging;
    EXPECT_EQ(c.k.temporal_judge_bytes(c.b.window, c.count, pointers, p.width, p.rows, c.threshold,
                                       c.curve, room.data(), averaging),
              want.taken);
    expect_same_matches(want.matches, matches, c.count);
    std::vector<float> result(want.result.size(), 0.0f);
    std::vector<uint16_t> packed(want.result.size(), 0);
    for (int32_t r = 0; r < p.rows; ++r) {
      c.k.temporal_row_bytes(averaging, r, p.width, result.data() + r * p.stride,
                             packed.data() + r * p.stride);
    }
    EXPECT_TRUE(same_bits(want.result, result));
    // The sums and counts give back the result and the counts.
    std::vector<float> kept(want.kept.size(), 0.0f);
    std::vector<uint8_t> joined(want.joined.size(), 0);
    for (int32_t r = 0; r < p.rows; ++r) {
      for (int32_t x = 0; x < p.width; ++x) {
        const uint16_t v = packed[size_t(r) * p.stride + x];
        kept[size_t(r) * p.stride + x] = float(v >> 3) / float(v & 7);
        joined[size_t(r) * p.stride + x] = uint8_t(v & 7);
      }
    }
    EXPECT_TRUE(same_bits(want.kept, kept));
    EXPECT_EQ(want.joined, joined);
    // The detail given back from them, strip by strip, as from the result
    // and the counts.
    for (int32_t radius = 1; radius <= 2; ++radius) {
      for (int32_t first = 0; first < p.width; first += 16) {
        const int32_t width = p.width - first < 16 ? p.width - first : 16;
        std::vector<float> in(size_t(width) * p.rows), x(in.size()), y(in.size());
        for (size_t i = 0; i < in.size(); ++i) in[i] = p.centre[i] * 0.75f;
        c.plain.restore_strip(in.data(), want.kept.data() + first, want.joined.data() + first,
                              p.stride, width, p.rows, 200, radius, x.data());
        c.k.restore_strip_packed(in.data(), packed.data() + first, p.stride, width, p.rows, 200,
                                 radius, y.data());
        EXPECT_TRUE(same_bits(x, y));
      }
    }
  });
}

}  // namespace
