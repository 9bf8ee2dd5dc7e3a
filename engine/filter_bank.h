/* SPDX-License-Identifier: BSD-2-Clause */
// The orthonormal Daubechies filter bank, orders 2 to 10.
#pragma once

#include <cstdint>

namespace zolta {

// Rows of the wavelet filter bank. The kernels read entries 0..3 of
// analysis_low and synthesis_low.
struct FilterBank {
  float analysis_low[256];
  float analysis_high[256];
  float synthesis_low[256];
  float synthesis_high[256];
};

// Number of coefficients in the table: 4 + 6 + ... + 20.
constexpr int kDaubechiesTableSize = 108;
extern const double kDaubechiesTable[kDaubechiesTableSize];

// Fills the bank for an order in 2..10; false (bank untouched) otherwise.
bool build_daubechies(FilterBank& bank, int order);

}  // namespace zolta
