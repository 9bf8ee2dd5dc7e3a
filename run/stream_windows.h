/* SPDX-License-Identifier: BSD-2-Clause */
// zolta-run over windows of 2R + 1 frames (--temporal R).
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "frame_formats.h"
#include "options.h"
#include "progress.h"
#include "zolta.h"

// Index i mirrored into first..last (repeatedly, for runs shorter than the
// window): the frame a window takes beyond the ends of its run of frames.
long mirror_into(long i, long first, long last);

// The stream through windows of 2R + 1 frames: the reader reads frame n + R
// for frame n, a worker makes frame n from frames n - R ... n + R into its
// own slot (the inputs stay as they came), the writer writes in order. A
// window is mirrored at the ends of the stream and of every run of frames of
// one stream (pictures of one size and format), and at a frame that could not
// be read, which fails only itself. Up to `threads` frames are worked on at
// once, fewer when their working areas and the frames held for the windows
// would not fit in --memory (window_memory.h, from the first frame's size).
bool denoise_windows(const RunOptions& options, const zolta_settings& settings, FrameFormat& format,
                     ByteReader& input, std::deque<StreamItem>& ahead, long long input_bytes,
                     int threads, std::FILE* out, Progress& progress, std::string& error);
