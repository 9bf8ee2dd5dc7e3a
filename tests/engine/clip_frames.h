/* SPDX-License-Identifier: BSD-2-Clause */
// A clip of 4:2:0 8-bit frames (tools/temporal_table's clips) as the
// library's stream and frames, for the tests of the noise measurements.
#pragma once

#include <cstddef>
#include <vector>

#include "clips.h"
#include "zolta.h"

struct ClipFrames {
  zolta_stream stream;
  std::vector<zolta_frame> frames;
  std::vector<const zolta_frame*> pointers;
};

// The clip's frames of width x height, each given `repeat` times. The frames
// point into the clip.
inline ClipFrames clip_frames(Clip& clip, int width, int height, int repeat = 1) {
  ClipFrames f;
  zolta_stream_default(&f.stream, ZOLTA_API_VERSION);
  f.stream.family = ZOLTA_FAMILY_YUV420;
  f.stream.width = width;
  f.stream.height = height;
  const size_t luma = static_cast<size_t>(width) * height;
  f.frames.reserve(clip.frames.size() * repeat);
  for (std::vector<uint8_t>& bytes : clip.frames) {
    zolta_frame frame{};
    frame.data[0] = bytes.data();
    frame.data[1] = bytes.data() + luma;
    frame.data[2] = bytes.data() + luma + luma / 4;
    frame.stride[0] = width;
    frame.stride[1] = frame.stride[2] = width / 2;
    for (int r = 0; r < repeat; ++r) f.frames.push_back(frame);
  }
  for (const zolta_frame& frame : f.frames) f.pointers.push_back(&frame);
  return f;
}
