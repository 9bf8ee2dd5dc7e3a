// An 8-bit RGB picture as read from and written to PNG and PPM files, and
// its conversion to and from the 32-bit pixels VirtualDub hands to filters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows back to back, 3 bytes a pixel: R, G, B
};

// Largest width or height, and largest picture, accepted from a file: a
// header cannot make us allocate more than a few hundred megabytes.
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 1LL << 26;

// True when width x height lies within both limits.
inline bool picture_size_allowed(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// The filter works on whole 8 x 8 blocks: width and height must be multiples
// of 8. False with a message that gives the size and this rule.
bool frame_size_usable(long long width, long long height, std::string& error);

// Little-endian words with blue in byte 0, green in 1, red in 2, and 0 in the
// fourth byte; rows back to back.
void picture_to_rgb32(const RgbPicture& picture, uint32_t* out);
void rgb32_to_picture(const uint32_t* in, int width, int height, RgbPicture& picture);
