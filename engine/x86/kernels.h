// The per-instruction-set kernel records.
#pragma once

#include "dsp.h"

extern const DspKernels kDspSse;
#if ZOLTA_HAVE_AVX2
extern const DspKernels kDspAvx2;
#endif
#if ZOLTA_HAVE_AVX512
extern const DspKernels kDspAvx512;
#endif
