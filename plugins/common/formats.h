/* SPDX-License-Identifier: BSD-2-Clause */
// What the two plugin faces share of their formats.
#pragma once

#include "zolta.h"

// The YUV family of chroma subsampled by 2^log2_w across and 2^log2_h down;
// -1 for a subsampling the engine does not take.
int yuv_family_of(int log2_w, int log2_h);
