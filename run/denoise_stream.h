/* SPDX-License-Identifier: BSD-2-Clause */
// zolta-run's work: every frame of the input through the library's public
// interface, several at once, written in order in the input's own format.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "options.h"
#include "picture.h"
#include "progress.h"
#include "run_settings.h"
#include "zolta.h"

// Frames read to estimate the noise of an input (--sigma auto, --estimate).
constexpr int kEstimateFrames = 8;

// The number of cores this process may run on (at least 1).
int available_cores();

// Reads the stream that starts in input (YUV4MPEG2, PNG or PPM/PGM, told by
// its first bytes), denoises every frame with `settings` (what
// settings_from_options made of the options; a noise level given or measured
// settles their thresholds here) and writes it to out. False with a one-line
// message on the first frame that fails.
bool denoise_stream(const RunOptions& options, const zolta_settings& settings, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error);

// One picture in place (the demo's road).
bool denoise_picture(const zolta_settings& settings, Picture& picture, std::string& error);
