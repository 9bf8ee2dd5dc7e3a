/* SPDX-License-Identifier: BSD-2-Clause */
// One level of the undecimated wavelet transform over a periodic row.
#pragma once

#include <cstdint>

namespace zolta {

// Rows are 16-byte aligned, n a positive multiple of 4, with room for the
// periodic extension in front of and behind every input row.
void wavelet_analyze(float* input, float* approx, float* detail, const float* coefficients,
                     int32_t n, int32_t a);
void wavelet_synthesize(float* output, float* approx, float* detail, const float* coefficients,
                        int32_t n, int32_t a, float threshold);

}  // namespace zolta
