// SPDX-License-Identifier: BSD-2-Clause
#include "rgb32.h"

#include <cstddef>

#include "legacy_engine.h"

namespace zolta {

void copy_frame(FilterState& state) {
  if (state.width <= 0 || state.height <= 0) return;
  for (int32_t y = 0; y < state.height; ++y) {
    const uint32_t* s = state.src + y * static_cast<ptrdiff_t>(state.src_pitch);
    uint32_t* d = state.dst + y * static_cast<ptrdiff_t>(state.width);
    for (int32_t x = 0; x < state.width; ++x) d[x] = s[x];
  }
}

void process_rgb32_frame(FilterState& state) {
  if (state.enabled == 0) {
    copy_frame(state);
    return;
  }
  state.proc_height = state.height;
  state.proc_width = state.width;
  // Source rows src_pitch words apart; output rows back to back.
  run_engine(state, state.src_pitch * ptrdiff_t{4}, state.width * ptrdiff_t{4}, true);
}

}  // namespace zolta
