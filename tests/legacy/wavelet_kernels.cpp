// SPDX-License-Identifier: BSD-2-Clause
#include "wavelet_kernels.h"

#include "dsp.h"

namespace zolta {

void wavelet_analyze(float* input, float* approx, float* detail, const float* coefficients,
                     int32_t n, int32_t a) {
  dsp_kernels().analyze(input, approx, detail, coefficients, n, a);
}

void wavelet_synthesize(float* output, float* approx, float* detail, const float* coefficients,
                        int32_t n, int32_t a, float threshold) {
  dsp_kernels().synthesize(output, approx, detail, coefficients, n, a, threshold);
}

}  // namespace zolta
