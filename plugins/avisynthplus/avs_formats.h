/* SPDX-License-Identifier: BSD-2-Clause */
// AviSynth+'s pixel types, mapped to the engine's streams. A format the
// engine does not take is refused with a message that names it and says what
// is accepted; sizes are checked by the engine itself.
#pragma once

#include <cstddef>

#include "avs_c_api.h"
#include "zolta.h"

// Where the engine's planes lie in an AviSynth+ frame.
struct AvsPlaneMap {
  int planes = 0;          // engine planes: 1 or 3
  int plane_ids[3] = {};   // the host's plane id for engine plane 0, 1, 2
  bool bottom_up = false;  // packed RGB: the first row in memory is the bottom one
};

int avs_stream_from_info(const AVS_VideoInfo& vi, zolta_stream* stream, AvsPlaneMap* map,
                         zolta_error* error);

// A readable name of an AviSynth+ pixel type ("YUV420P10", "YUY2", "RGBP16",
// "Y8", ...); the hexadecimal value when it has no name here. buffer holds
// at least 32 bytes.
void avs_format_name(int pixel_type, char* buffer, size_t size);
