// The per-instruction-set kernel records.
#pragma once

#include "dsp.h"

extern const DspKernels kDspSse;

// Packing back to YUY2 reads a chroma plane at half the luma rate, so wider
// vectors gain nothing there: every path shares the four-wide version.
void planes_to_yuy2_sse(const float* y, const float* cb, const float* cr, ptrdiff_t stride,
                        ptrdiff_t chroma_stride, int32_t width, int32_t height, uint8_t* out);
#if ZOLTA_HAVE_AVX2
extern const DspKernels kDspAvx2;
#endif
#if ZOLTA_HAVE_AVX512
extern const DspKernels kDspAvx512;
#endif
