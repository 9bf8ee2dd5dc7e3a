// SPDX-License-Identifier: BSD-2-Clause
#include "filter_bank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "filter_state.h"

using namespace zolta;

namespace {

const double* filter_of(int order) {
  const double* h = kDaubechiesTable;
  for (int n = 2; n < order; ++n) h += 2 * n;
  return h;
}

FilterState bank_filled_with(float value) {
  FilterState state{};
  for (float* row : {state.filters.analysis_low, state.filters.analysis_high,
                     state.filters.synthesis_low, state.filters.synthesis_high}) {
    for (int k = 0; k < 256; ++k) row[k] = value;
  }
  return state;
}

}  // namespace

// The table is checked by the conditions that define the filters, not by
// comparison with another table.
TEST(CoefficientTable, EveryOrderIsAnOrthonormalDaubechiesFilter) {
  for (int order = 2; order <= 10; ++order) {
    SCOPED_TRACE(order);
    const double* h = filter_of(order);
    const int taps = 2 * order;
    double sum = 0, squares = 0;
    for (int k = 0; k < taps; ++k) {
      sum += h[k];
      squares += h[k] * h[k];
    }
    EXPECT_NEAR(sum, std::sqrt(2.0), 1e-13);
    EXPECT_NEAR(squares, 1.0, 1e-13);
    // Orthogonal to its own shifts by an even number of samples.
    for (int m = 1; m < order; ++m) {
      double dot = 0;
      for (int k = 0; k + 2 * m < taps; ++k) dot += h[k] * h[k + 2 * m];
      EXPECT_NEAR(dot, 0.0, 1e-13) << "shift " << 2 * m;
    }
    // The high-pass g(k) = (-1)^k h(L-1-k) has `order` vanishing moments,
    // which is what makes it Daubechies' filter and fixes every digit.
    for (int moment = 0; moment < order; ++moment) {
      double value = 0, scale = 0;
      for (int k = 0; k < taps; ++k) {
        const double term = (k % 2 ? -1.0 : 1.0) * h[taps - 1 - k] * std::pow(double(k), moment);
        value += term;
        scale += std::fabs(term);
      }
      EXPECT_LE(std::fabs(value), 1e-13 * scale) << "moment " << moment;
    }
    // Extremal phase: the energy sits at the start, and the last tap is the
    // smallest in magnitude of the two ends.
    EXPECT_GT(std::fabs(h[0]), std::fabs(h[taps - 1]));
  }
}

TEST(SetDaubechies, BuildsTheFourRowsAndLeavesTheTailAlone) {
  FilterState state = bank_filled_with(7.0f);
  set_daubechies(state, 2);
  const FilterBank& b = state.filters;
  const float a[4] = {0.341506362f, 0.591506362f, 0.158493653f, -0.0915063545f};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(b.analysis_low[k], a[k]);
    EXPECT_EQ(b.synthesis_low[k], a[3 - k]);
  }
  const float high[4] = {0.0915063545f, 0.158493653f, -0.591506362f, 0.341506362f};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(b.analysis_high[k], high[k]);
    EXPECT_EQ(b.synthesis_high[k], high[3 - k]);
  }
  for (int k = 4; k < 256; ++k) {
    ASSERT_EQ(b.analysis_low[k], 7.0f);
    ASSERT_EQ(b.analysis_high[k], 7.0f);
    ASSERT_EQ(b.synthesis_low[k], 7.0f);
    ASSERT_EQ(b.synthesis_high[k], 7.0f);
  }
  // A second call changes nothing.
  const FilterBank once = state.filters;
  set_daubechies(state, 2);
  EXPECT_EQ(std::memcmp(&once, &state.filters, sizeof once), 0);

  // Order 10 writes twenty entries of each row.
  set_daubechies(state, 10);
  EXPECT_NE(b.analysis_low[19], 7.0f);
  EXPECT_EQ(b.analysis_low[20], 7.0f);
  EXPECT_EQ(b.synthesis_high[20], 7.0f);
}

TEST(SetDaubechies, EveryOrderGivesFiltersWithTheExpectedSums) {
  for (int order = 2; order <= 10; ++order) {
    FilterState state{};
    set_daubechies(state, order);
    const FilterBank& b = state.filters;
    double low = 0, high = 0, squares = 0, slow = 0;
    for (int k = 0; k < 2 * order; ++k) {
      low += b.analysis_low[k];
      high += b.analysis_high[k];
      squares += double(b.analysis_low[k]) * b.analysis_low[k];
      slow += b.synthesis_low[k];
      EXPECT_EQ(b.synthesis_low[k], b.analysis_low[2 * order - 1 - k]);
      EXPECT_EQ(b.synthesis_high[k], b.analysis_high[2 * order - 1 - k]);
    }
    EXPECT_NEAR(low, 1.0, 1e-6) << order;
    EXPECT_NEAR(slow, 1.0, 1e-6) << order;
    EXPECT_NEAR(high, 0.0, 1e-6) << order;
    EXPECT_NEAR(squares, 0.5, 1e-6) << order;
  }
}

TEST(SetDaubechies, RefusesOrdersOutsideTheTableWithoutTouchingTheBank) {
  for (int order : {1, 11, 0, -5, 1000}) {
    FilterState state = bank_filled_with(3.0f);
    set_daubechies(state, 2);
    const FilterBank before = state.filters;
    const char* message = nullptr;
    try {
      set_daubechies(state, order);
    } catch (const char* m) {
      message = m;
    }
    ASSERT_NE(message, nullptr) << order;
    EXPECT_STREQ(message, "set_daubechies() : Illigal Daubechies coefficient.\n");
    EXPECT_EQ(std::memcmp(&before, &state.filters, sizeof before), 0);
  }
}
