#include "yuy2.h"

#include <cstddef>

#include "dsp.h"
#include "legacy_engine.h"

namespace zolta {

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

void process_yuy2_frame(FilterState& state) {
  state.proc_width = state.width;
  state.proc_height = state.height;
  // The AviSynth face has no views and no off switch: the denoised planes
  // are the picture (High still amplifies the detail).
  run_engine(state, state.src_pitch * ptrdiff_t{4}, state.width * ptrdiff_t{2}, false);
}

}  // namespace zolta
