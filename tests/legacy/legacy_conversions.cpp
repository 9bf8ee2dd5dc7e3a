// SPDX-License-Identifier: BSD-2-Clause
#include "legacy_conversions.h"

#include <cstddef>

#include "dsp.h"

namespace zolta {

namespace {

ptrdiff_t plane_stride(const FilterState& state) {
  return static_cast<ptrdiff_t>(state.proc_width) + PlaneBuffers::kMargin;
}

}  // namespace

void rgb32_to_planes(FilterState& state) {
  dsp_kernels().rgb32_to_planes(state.src, state.src_pitch, state.width, state.height,
                                state.plane_y, state.plane_cb, state.plane_cr,
                                static_cast<ptrdiff_t>(state.width) + PlaneBuffers::kMargin);
}

void planes_to_rgb32(FilterState& state, uint32_t* out) {
  dsp_kernels().planes_to_rgb32(state.plane_y, state.plane_cb, state.plane_cr, plane_stride(state),
                                state.proc_width, state.proc_height, out);
}

void plane_to_gray(FilterState& state, uint32_t* out) {
  const float* planes[3] = {state.plane_y, state.plane_cb, state.plane_cr};
  // The instance data is the host's memory; a plane number out of range shows
  // the Y plane rather than following a pointer from outside the array.
  const int32_t plane = state.plane >= 0 && state.plane < 3 ? state.plane : 0;
  const int32_t offset = state.mode == High ? 128 : 0;
  dsp_kernels().plane_to_gray(planes[plane], plane_stride(state), state.proc_width,
                              state.proc_height, offset, out);
}

void make_diff(FilterState& state) {
  if (state.width <= 0 || state.height <= 0) return;
  for (int32_t y = 0; y < state.height; ++y) {
    const uint8_t* s =
        reinterpret_cast<const uint8_t*>(state.src + y * static_cast<ptrdiff_t>(state.src_pitch));
    uint8_t* d = reinterpret_cast<uint8_t*>(state.dst + y * static_cast<ptrdiff_t>(state.width));
    for (int32_t x = 0; x < state.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        int32_t v = 8 * (s[4 * x + c] - d[4 * x + c]) + 128;
        if (v < 0) v = 0;
        if (v > 255) v = 255;
        d[4 * x + c] = static_cast<uint8_t>(v);
      }
    }
  }
}

void yuy2_to_planes(FilterState& state) {
  const ptrdiff_t stride = static_cast<ptrdiff_t>(state.width) + PlaneBuffers::kMargin;
  const ptrdiff_t chroma_stride = static_cast<ptrdiff_t>(state.width / 2) + PlaneBuffers::kMargin;
  dsp_kernels().yuy2_to_planes(state.src, state.src_pitch, state.width, state.height, state.plane_y,
                               state.plane_cb, state.plane_cr, stride, chroma_stride);
}

void planes_to_yuy2(FilterState& state, uint8_t* out) {
  const ptrdiff_t stride = static_cast<ptrdiff_t>(state.proc_width) + PlaneBuffers::kMargin;
  const ptrdiff_t chroma_stride =
      static_cast<ptrdiff_t>(state.proc_width / 2) + PlaneBuffers::kMargin;
  dsp_kernels().planes_to_yuy2(state.plane_y, state.plane_cb, state.plane_cr, stride, chroma_stride,
                               state.proc_width, state.proc_height, out);
}

}  // namespace zolta
