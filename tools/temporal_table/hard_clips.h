/* SPDX-License-Identifier: BSD-2-Clause */
// Clips where a neighbour frame holds picture unrelated to the centre's, or
// where a wrong match is cheap: a flash, a flat frame between tiles, a cut
// between two views of one photograph, a fade, motion beyond the search
// range, scrolling text, tiles that change every frame, a grid moving over
// a still picture, a slow pan (cheap to match a sample or two off where the
// picture is clean and the settings are for much noise). The temporal step
// must leave each of their frames no worse than radius 0 does.
#pragma once

#include <string>
#include <vector>

#include "clips.h"

struct NamedClip {
  std::string name;
  Clip clip;
};

// The clips, each `frames` frames of width x height (multiples of 8, at
// most the photograph's size) from an 8-bit RGB photograph; the same clips
// for the same arguments.
std::vector<NamedClip> hard_clips(const Picture& photo, int width, int height, int frames);

// The sum of squared differences of frame n's luma, and its PSNR
// (infinite when equal).
double frame_luma_squares(const Clip& a, const Clip& b, size_t n);
double frame_luma_psnr(const Clip& a, const Clip& b, size_t n);
