/* SPDX-License-Identifier: BSD-2-Clause */
// One 8-bit RGB picture through the denoiser with given settings, and the
// noise of a picture in the denoiser's own planes.
#pragma once

#include <string>

#include "picture.h"
#include "zolta.h"

// On failure returns false with a one-line message.
bool denoise_picture(const Picture& in, const zolta_settings& settings, Picture& out,
                     std::string& error);

// Standard deviation of (noisy - clean) in each of the planes Y, Cb, Cr that
// the denoiser makes of an RGB picture: the noise level each plane really has.
void plane_noise(const Picture& clean, const Picture& noisy, double sigma[3]);
