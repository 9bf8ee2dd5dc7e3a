// SPDX-License-Identifier: BSD-2-Clause
#include "engine_frames.h"

namespace {

// The engine's depth for a maximum value, or 0.
int depth_of(int maxval) {
  for (int bits : {8, 9, 10, 12, 14, 16})
    if (maxval == (1 << bits) - 1) return bits;
  return 0;
}

}  // namespace

void bind_y4m(const Y4mHeader& header, Y4mFrame& frame, zolta_stream& stream, zolta_frame& planes) {
  stream = zolta_stream{};
  stream.family = header.family;
  stream.sample = ZOLTA_SAMPLE_INTEGER;
  stream.bits = header.bits;
  stream.width = header.width;
  stream.height = header.height;
  planes = zolta_frame{};
  const int sample = header.bits > 8 ? 2 : 1;
  for (int p = 0; p < 3 && p < header.planes; ++p) {
    planes.data[p] = frame.data.data() + header.plane_offset[p];
    planes.stride[p] = static_cast<ptrdiff_t>(header.plane_width[p]) * sample;
  }
}

bool bind_picture(Picture& picture, zolta_stream& stream, zolta_frame& planes, std::string& error) {
  const int bits = depth_of(picture.maxval);
  if (bits == 0) {
    error = "unsupported maximum value " + std::to_string(picture.maxval) +
            ": the filter takes 255, 511, 1023, 4095, 16383 or 65535";
    return false;
  }
  const int colours = picture.channels >= 3 ? 3 : 1;
  const ptrdiff_t sample = picture_wide(picture) ? 2 : 1;
  const ptrdiff_t pixel = picture.channels * sample;
  stream = zolta_stream{};
  stream.sample = ZOLTA_SAMPLE_INTEGER;
  stream.bits = bits;
  stream.width = picture.width;
  stream.height = picture.height;
  planes = zolta_frame{};
  if (colours == 1 || (colours == 3 && picture.channels == 3 && sample == 1)) {
    stream.family = colours == 1 ? ZOLTA_FAMILY_GRAY : ZOLTA_FAMILY_RGB24;
    planes.data[0] = picture.samples.data();
    planes.stride[0] = static_cast<ptrdiff_t>(picture.width) * pixel;
    if (colours == 1) planes.step[0] = pixel;  // alpha beside grey: left where it is
    return true;
  }
  // Colours beside alpha, or 16-bit RGB: planar RGB, each colour at its offset
  // in the pixel, alpha left where it is.
  stream.family = ZOLTA_FAMILY_RGB;
  for (int c = 0; c < 3; ++c) {
    planes.data[c] = picture.samples.data() + c * sample;
    planes.stride[c] = static_cast<ptrdiff_t>(picture.width) * pixel;
    planes.step[c] = pixel;
  }
  return true;
}

bool same_stream(const zolta_stream& a, const zolta_stream& b) {
  return a.family == b.family && a.sample == b.sample && a.bits == b.bits && a.width == b.width &&
         a.height == b.height;
}
