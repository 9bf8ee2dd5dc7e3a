/* SPDX-License-Identifier: BSD-2-Clause */
// The x86 paths. Each replaces the entries it provides in a record that the
// narrower paths (and first the plain path) have filled.
#pragma once

#include "dsp.h"

namespace zolta {

void dsp_init_sse(DspKernels& k);
#if ZOLTA_HAVE_AVX2
void dsp_init_avx2(DspKernels& k);
#endif
#if ZOLTA_HAVE_AVX512
void dsp_init_avx512(DspKernels& k);
#endif

}  // namespace zolta
