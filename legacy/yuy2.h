// YUY2 frames: unpacking into full-width luma and half-width chroma planes,
// packing back, and the frame pipeline used under AviSynth.
#pragma once

#include "filter_state.h"

namespace zolta {

void yuy2_to_planes(FilterState& state);
void planes_to_yuy2(FilterState& state, uint8_t* out);
void process_yuy2_frame(FilterState& state);

}  // namespace zolta
