// An 8-bit RGB picture as read from and written to PNG and PPM files, and
// its conversion to and from the 32-bit pixels VirtualDub hands to filters.
#pragma once

#include <cstdint>
#include <vector>

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows back to back, 3 bytes a pixel: R, G, B
};

// Largest width or height accepted from a file.
constexpr int kMaxPictureSide = 16384;

// Little-endian words with blue in byte 0, green in 1, red in 2, and 0 in the
// fourth byte; rows back to back.
void picture_to_rgb32(const RgbPicture& picture, uint32_t* out);
void rgb32_to_picture(const uint32_t* in, int width, int height, RgbPicture& picture);
