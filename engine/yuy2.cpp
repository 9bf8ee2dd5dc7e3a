#include "yuy2.h"

#include <cstddef>

#include "denoise.h"
#include "dsp.h"
#include "filter_bank.h"

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
  const uint32_t float_mode = enter_default_float_mode();
  set_daubechies(state, 2);  // order 2 never throws
  yuy2_to_planes(state);
  denoise_planes(state);
  planes_to_yuy2(state, reinterpret_cast<uint8_t*>(state.dst));
  leave_default_float_mode(float_mode);
}
