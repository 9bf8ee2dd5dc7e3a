/* SPDX-License-Identifier: BSD-2-Clause */
// Frames of the legacy record through its engine object.
#pragma once

#include <cstddef>

#include "filter_state.h"

namespace zolta {

// Runs the frame at state.src (rows `src_stride` bytes apart) into state.dst
// (rows `dst_stride` bytes apart) with the record's current settings.
// `views`: the record's mode, show_plane and plane choose the picture, as
// under VirtualDub; otherwise the denoised planes are the picture.
void run_engine(FilterState& state, ptrdiff_t src_stride, ptrdiff_t dst_stride, bool views);

}  // namespace zolta
