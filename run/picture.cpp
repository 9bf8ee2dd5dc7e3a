#include "picture.h"

#include <cstddef>

void picture_to_rgb32(const RgbPicture& picture, uint32_t* out) {
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  const uint8_t* p = picture.rgb.data();
  for (size_t i = 0; i < count; ++i, p += 3) {
    out[i] = static_cast<uint32_t>(p[2]) | static_cast<uint32_t>(p[1]) << 8 |
             static_cast<uint32_t>(p[0]) << 16;
  }
}

void rgb32_to_picture(const uint32_t* in, int width, int height, RgbPicture& picture) {
  picture.width = width;
  picture.height = height;
  const size_t count = static_cast<size_t>(width) * height;
  picture.rgb.resize(count * 3);
  uint8_t* p = picture.rgb.data();
  for (size_t i = 0; i < count; ++i, p += 3) {
    p[0] = static_cast<uint8_t>(in[i] >> 16);
    p[1] = static_cast<uint8_t>(in[i] >> 8);
    p[2] = static_cast<uint8_t>(in[i]);
  }
}

bool frame_size_usable(long long width, long long height, std::string& error) {
  if (width > 0 && height > 0 && width % 8 == 0 && height % 8 == 0) return true;
  error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
          ": the filter needs a width and a height that are multiples of 8";
  return false;
}
