// SPDX-License-Identifier: BSD-2-Clause
#include "filter_state.h"

#include <cstring>

#include "engine.h"
#include "stream_format.h"

namespace zolta {

PlaneBuffers plane_buffers_for(int32_t width, int32_t height) {
  PlaneBuffers b{};
  if (width > 0 && height > 0) {
    b.plane_floats =
        static_cast<size_t>(height) * (static_cast<size_t>(width) + PlaneBuffers::kMargin);
  }
  return b;
}

void init_defaults(FilterState& state) {
  std::memset(state.thresholds, 0, sizeof state.thresholds);
  state.mode = Normal;
  state.show_plane = 0;
  state.plane = 0;
  state.enabled = 1;
}

void alloc_buffers(FilterState& state) {
  state.plane_block = nullptr;
  state.plane_y = state.plane_cb = state.plane_cr = nullptr;
  if (state.width <= 0 || state.height <= 0) return;
  const zolta::StreamLayout layout = zolta::packed_layout(
      state.yuy2 ? ZOLTA_FAMILY_YUY2 : ZOLTA_FAMILY_RGB32, state.width, state.height);
  zolta::EngineSettings settings{};
  settings.enabled = 1;
  zolta::Engine* engine = zolta::engine_create(layout, settings, 1, nullptr);
  if (!engine) return;
  state.plane_block = engine;
  const zolta::FloatPlanes& planes = engine->workspaces[0].planes;
  state.plane_y = planes.plane[0];
  state.plane_cb = planes.plane[1];
  state.plane_cr = planes.plane[2];
  // The record's copy of the bank, for whoever reads it: built once here.
  state.filters = engine->bank;
}

void free_buffers(FilterState& state) {
  zolta::engine_destroy(static_cast<zolta::Engine*>(state.plane_block));
  state.plane_block = nullptr;
}

bool start_stream(FilterState& state, int32_t width, int32_t height, bool yuy2) {
  free_buffers(state);
  state.plane_y = state.plane_cb = state.plane_cr = nullptr;
  state.width = width;
  state.height = height;
  state.yuy2 = yuy2 ? 1 : 0;
  alloc_buffers(state);
  return state.plane_block != nullptr;
}

void set_daubechies(FilterState& state, int order) {
  if (order < 2 || order > 10) throw "set_daubechies() : Illigal Daubechies coefficient.\n";
  build_daubechies(state.filters, order);
}

}  // namespace zolta
