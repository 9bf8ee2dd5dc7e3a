/* SPDX-License-Identifier: BSD-2-Clause */
// The temporal part of the noise-level table: the temporal thresholds, the
// spatial share and the detail restored for noise of a given level.
#pragma once

#include "zolta.h"

namespace zolta {

// Fills the temporal fields of `settings` for noise sigma[p] in plane p
// (planes 1 or 3); the share and the detail restored follow plane 0.
void temporal_for_sigma(const float sigma[3], int planes, zolta_settings& settings);

}  // namespace zolta
