/* SPDX-License-Identifier: BSD-2-Clause */
// The legacy record's own plane pass over plane_y, plane_cb and plane_cr, for
// the tests that drive the planes directly (frames go through the engine
// object).
#pragma once

#include "filter_state.h"

namespace zolta {

// Largest line the stack scratch of denoise_planes holds; longer lines use
// the scratch rows behind the planes.
constexpr int kMaxStackLine = 3224;

struct LevelPlan;
LevelPlan level_plan(const FilterState& state);
void denoise_planes(FilterState& state);

}  // namespace zolta
