// Eight samples per step with AVX2 (compiled with -mavx2, never with FMA).
#include <immintrin.h>

#include "kernels.h"
#include "wide_conversions.h"
#include "wide_steps.h"

namespace {

void analyze_avx2(float* x, float* approx, float* detail, const float* coefficients, int32_t n,
                  int32_t a) {
  analyze_row<Lanes8>(x, approx, detail, coefficients, n, a);
}

void synthesize_avx2(float* out, float* approx, float* detail, const float* coefficients, int32_t n,
                     int32_t a, float threshold) {
  synthesize_row<Lanes8>(out, approx, detail, coefficients, n, a, threshold);
}

}  // namespace

const DspKernels kDspAvx2 = {
    kSimdAvx2,
    "avx2",
    analyze_avx2,
    synthesize_avx2,
    transpose_columns_to_rows,
    transpose_rows_to_columns,
    rgb32_to_planes_wide,
    planes_to_rgb32_wide,
    plane_to_gray_wide,
    yuy2_to_planes_wide,
    planes_to_yuy2_sse,
};
