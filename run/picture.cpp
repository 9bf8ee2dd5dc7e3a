// SPDX-License-Identifier: BSD-2-Clause
#include "picture.h"

#include <cstddef>
#include <cstring>

void shape_picture(Picture& p, int width, int height, int channels, int maxval) {
  p.width = width;
  p.height = height;
  p.channels = channels;
  p.maxval = maxval;
  p.samples.resize(picture_bytes(p));
}

void picture_to_rgb32(const Picture& picture, uint32_t* out) {
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  const uint8_t* p = picture.samples.data();
  for (size_t i = 0; i < count; ++i, p += 3) {
    out[i] = static_cast<uint32_t>(p[2]) | static_cast<uint32_t>(p[1]) << 8 |
             static_cast<uint32_t>(p[0]) << 16;
  }
}

void rgb32_to_picture(const uint32_t* in, int width, int height, Picture& picture) {
  picture = Picture();
  shape_picture(picture, width, height, 3, 255);
  const size_t count = static_cast<size_t>(width) * height;
  uint8_t* p = picture.samples.data();
  for (size_t i = 0; i < count; ++i, p += 3) {
    p[0] = static_cast<uint8_t>(in[i] >> 16);
    p[1] = static_cast<uint8_t>(in[i] >> 8);
    p[2] = static_cast<uint8_t>(in[i]);
  }
}

bool little_endian_host() {
  const uint16_t one = 1;
  uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

void swap_bytes16(uint8_t* words, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t low = words[2 * i];
    words[2 * i] = words[2 * i + 1];
    words[2 * i + 1] = low;
  }
}

bool frame_size_usable(long long width, long long height, std::string& error) {
  if (width > 0 && height > 0 && width % 8 == 0 && height % 8 == 0) return true;
  error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
          ": the filter needs a width and a height that are multiples of 8";
  return false;
}
