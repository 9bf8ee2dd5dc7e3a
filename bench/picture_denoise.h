// One 8-bit RGB picture through the denoiser with given settings.
#pragma once

#include <string>

#include "picture.h"
#include "zolta.h"

// On failure returns false with a one-line message.
bool denoise_picture(const RgbPicture& in, const zolta_settings& settings, RgbPicture& out,
                     std::string& error);
