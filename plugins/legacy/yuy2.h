/* SPDX-License-Identifier: BSD-2-Clause */
// YUY2 frames under AviSynth: the record's frame pipeline over the engine
// object.
#pragma once

#include "filter_state.h"

namespace zolta {

void process_yuy2_frame(FilterState& state);

}  // namespace zolta
