// 32-bit RGB frames: conversion to and from the three float planes, the
// diagnostic views, and the frame pipeline used under VirtualDub.
#pragma once

#include "filter_state.h"

namespace zolta {

void rgb32_to_planes(FilterState& state);
void planes_to_rgb32(FilterState& state, uint32_t* out);
void plane_to_gray(FilterState& state, uint32_t* out);
void make_diff(FilterState& state);
void copy_frame(FilterState& state);
void process_rgb32_frame(FilterState& state);

}  // namespace zolta
