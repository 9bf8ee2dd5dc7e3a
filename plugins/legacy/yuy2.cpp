// SPDX-License-Identifier: BSD-2-Clause
#include "yuy2.h"

#include <cstddef>

#include "legacy_engine.h"

namespace zolta {

void process_yuy2_frame(FilterState& state) {
  state.proc_width = state.width;
  state.proc_height = state.height;
  // The AviSynth face has no views and no off switch: the denoised planes
  // are the picture (High still amplifies the detail).
  run_engine(state, state.src_pitch * ptrdiff_t{4}, state.width * ptrdiff_t{2}, false);
}

}  // namespace zolta
