/* SPDX-License-Identifier: BSD-2-Clause */
// The legacy record's conversions one step at a time, for the tests that
// check each step of the frame pipelines on their own: 32-bit RGB and YUY2
// to and from the record's three planes, the grey view and the difference
// view of 32-bit RGB frames.
#pragma once

#include <cstdint>

#include "filter_state.h"
#include "rgb32.h"
#include "yuy2.h"

namespace zolta {

void rgb32_to_planes(FilterState& state);
void planes_to_rgb32(FilterState& state, uint32_t* out);
void plane_to_gray(FilterState& state, uint32_t* out);
void make_diff(FilterState& state);
void yuy2_to_planes(FilterState& state);
void planes_to_yuy2(FilterState& state, uint8_t* out);

}  // namespace zolta
