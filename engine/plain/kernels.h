/* SPDX-License-Identifier: BSD-2-Clause */
// The plain path: every entry of the record in ordinary C++.
#pragma once

#include "dsp.h"

namespace zolta {

// Fills every entry of `k` with the plain path's functions. Called first;
// the instruction-set paths then replace the entries they provide.
void dsp_init_plain(DspKernels& k);

}  // namespace zolta
