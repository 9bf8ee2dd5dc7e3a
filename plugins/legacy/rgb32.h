/* SPDX-License-Identifier: BSD-2-Clause */
// 32-bit RGB frames under VirtualDub: the record's frame pipeline over the
// engine object (conversion, views and the off switch).
#pragma once

#include "filter_state.h"

namespace zolta {

void copy_frame(FilterState& state);
void process_rgb32_frame(FilterState& state);

}  // namespace zolta
