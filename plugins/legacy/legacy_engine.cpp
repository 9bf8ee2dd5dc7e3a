// SPDX-License-Identifier: BSD-2-Clause
#include "legacy_engine.h"

#include <cstring>

#include "engine.h"

namespace zolta {

void run_engine(FilterState& state, ptrdiff_t src_stride, ptrdiff_t dst_stride, bool views) {
  zolta::Engine& engine = *static_cast<zolta::Engine*>(state.plane_block);
  zolta::EngineSettings settings;
  std::memcpy(settings.thresholds, state.thresholds, sizeof settings.thresholds);
  settings.mode = state.mode;
  settings.show_plane = views ? state.show_plane : 0;
  settings.plane = state.plane;
  settings.enabled = 1;  // the off switch is the caller's
  settings.views = views ? 1 : 0;
  zolta::engine_set_settings(engine, settings);
  const zolta_frame in{
      ZOLTA_API_VERSION, {state.src, nullptr, nullptr}, {src_stride, 0, 0}, {0, 0, 0}, 0, {}};
  const zolta_frame out{
      ZOLTA_API_VERSION, {state.dst, nullptr, nullptr}, {dst_stride, 0, 0}, {0, 0, 0}, 0, {}};
  zolta::engine_process(engine, engine.workspaces[0], in, out);
}

}  // namespace zolta
