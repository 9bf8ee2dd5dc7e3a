// SPDX-License-Identifier: BSD-2-Clause
// The two wavelet kernels on small rows, on every path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "reference.h"
#include "test_support.h"
#include "wavelet_kernels.h"

using namespace zolta;

namespace {

const float* const c = ref::kAnalysis;
const float* const b = ref::kSynthesis;

// A row with 64 floats of room on both sides, 16-byte aligned.
struct Row {
  std::vector<float> storage;
  float* x;
  int32_t n;
  explicit Row(int32_t length) : storage(length + 128 + 4, -99.0f), n(length) {
    float* p = storage.data() + 64;
    while (reinterpret_cast<uintptr_t>(p) % 16) ++p;
    x = p;
    for (int32_t i = 0; i < n; ++i) x[i] = 0.0f;
  }
  Row(std::initializer_list<float> values) : Row(static_cast<int32_t>(values.size())) {
    int32_t i = 0;
    for (float v : values) x[i++] = v;
  }
  std::vector<float> values() const { return std::vector<float>(x, x + n); }
  float& operator[](int32_t i) { return x[i]; }
};

void expect_row(const Row& row, const std::vector<float>& expected) {
  ASSERT_EQ(static_cast<size_t>(row.n), expected.size());
  for (int32_t i = 0; i < row.n; ++i) EXPECT_EQ(row.x[i], expected[i]) << "sample " << i;
}

Row random_row(int32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-300.0f, 300.0f);
  Row row(n);
  for (int32_t i = 0; i < n; ++i) row[i] = dist(rng);
  return row;
}

}  // namespace

TEST(WaveletKernels, ImpulseResponsesAreTheFilterTaps) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    SCOPED_TRACE(simd_path_name(path));
    Row in{1, 0, 0, 0, 0, 0, 0, 0};
    Row approx(8), detail(8);
    wavelet_analyze(in.x, approx.x, detail.x, c, 8, 0);
    expect_row(approx, {c[1], c[0], 0, 0, 0, 0, c[3], c[2]});
    expect_row(detail, {c[2], -c[3], 0, 0, 0, 0, c[0], -c[1]});

    Row a{1, 0, 0, 0, 0, 0, 0, 0}, zero(8), out(8);
    wavelet_synthesize(out.x, a.x, zero.x, b, 8, 0, 0.0f);
    expect_row(out, {c[1], c[2], c[3], 0, 0, 0, 0, c[0]});

    Row d{1, 0, 0, 0, 0, 0, 0, 0}, za(8);
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, 0.0f);
    expect_row(out, {c[2], -c[1], c[0], 0, 0, 0, 0, -c[3]});
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, 0.5f);
    expect_row(out, {0, -c[1], 0, 0, 0, 0, 0, 0});
  }
}

TEST(WaveletKernels, AnalysisThenSynthesisGivesTheRowBack) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (int32_t n : {4, 8, 12, 16, 36, 100}) {
      for (int32_t a = 0; a <= 3; ++a) {
        SCOPED_TRACE(testing::Message() << simd_path_name(path) << " n " << n << " a " << a);
        Row in = random_row(n, n * 10 + a);
        const std::vector<float> original = in.values();
        Row approx(n), detail(n), out(n);
        wavelet_analyze(in.x, approx.x, detail.x, c, n, a);
        // The input's own samples stay, and its margins hold the extension.
        EXPECT_EQ(in.values(), original);
        for (int32_t j = 1; j <= 8; ++j) {
          EXPECT_EQ(in.x[-j], original[((-j % n) + n) % n]);
          EXPECT_EQ(in.x[n - 1 + j], original[(j - 1) % n]);
        }
        EXPECT_EQ(in.x[-9], -99.0f);
        EXPECT_EQ(in.x[n + 8], -99.0f);
        for (float threshold : {0.0f, -1.0f}) {
          wavelet_synthesize(out.x, approx.x, detail.x, b, n, a, threshold);
          for (int32_t i = 0; i < n; ++i) EXPECT_NEAR(out.x[i], original[i], 1e-3f);
        }
      }
    }
  }
}

// The threshold drops a contribution equal to it in magnitude and lets one
// just beyond it pass whole; a contribution that is not a number passes.
TEST(WaveletKernels, HardThresholdIsStrictAndNeverShrinks) {
  const float t = c[1];  // the detail impulse at sample 0 gives -c1 at output 1
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    SCOPED_TRACE(simd_path_name(path));
    Row za(8), d{1, 0, 0, 0, 0, 0, 0, 0}, out(8);
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, t);
    EXPECT_EQ(out[1], 0.0f);
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, std::nextafter(t, 0.0f));
    EXPECT_EQ(out[1], -c[1]);
    d[0] = -1;
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, t);
    EXPECT_EQ(out[1], 0.0f);
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, std::nextafter(t, 0.0f));
    EXPECT_EQ(out[1], c[1]);

    d[0] = std::numeric_limits<float>::quiet_NaN();
    wavelet_synthesize(out.x, za.x, d.x, b, 8, 0, 1e30f);
    EXPECT_TRUE(std::isnan(out[1]));
    EXPECT_EQ(out[4], 0.0f);
    // A dropped contribution leaves u + 0: minus zero becomes plus zero.
    Row na(8), nd(8);
    for (int32_t i = 0; i < 8; ++i) na[i] = -0.0f;
    na[1] = 0.0f;  // b0 is negative: every product at output 3 is then -0
    wavelet_synthesize(out.x, na.x, nd.x, b, 8, 0, 1.0f);
    EXPECT_FALSE(std::signbit(out[3]));
  }
}

// The kernels agree with the periodic model bit for bit, threshold included,
// also on short rows at long steps that wrap around several times.
TEST(WaveletKernels, ShortRowsAtLongStepsMatchTheModel) {
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (int32_t n : {4, 8, 12, 16, 20, 24, 32, 44}) {
      for (int32_t a = 0; a <= 3; ++a) {
        SCOPED_TRACE(testing::Message() << simd_path_name(path) << " n " << n << " a " << a);
        Row in = random_row(n, 7 * n + a);
        std::vector<float> ma, md, mo;
        ref::analyze(in.values(), 1 << a, ma, md);
        Row approx(n), detail(n), out(n);
        wavelet_analyze(in.x, approx.x, detail.x, c, n, a);
        EXPECT_EQ(approx.values(), ma);
        EXPECT_EQ(detail.values(), md);
        ref::synthesize(ma, md, 1 << a, 9.0f, mo);
        wavelet_synthesize(out.x, approx.x, detail.x, b, n, a, 9.0f);
        EXPECT_EQ(out.values(), mo);
      }
    }
    // n = 4 at step 4: every tap reads the row repeated with period 4.
    Row in{1, 2, 3, 4}, approx(4), detail(4);
    wavelet_analyze(in.x, approx.x, detail.x, c, 4, 2);
    for (int32_t i = 0; i < 4; ++i) {
      const float x = in[i];
      EXPECT_EQ(approx[i], ((c[0] * x + c[1] * x) + c[2] * x) + c[3] * x);
      EXPECT_EQ(detail[i], ((c[2] * x - c[3] * x) - c[1] * x) + c[0] * x);
    }
    for (int32_t j = -8; j < 12; ++j) EXPECT_EQ(in.x[j], float(((j % 4) + 4) % 4 + 1));
  }
}
