/* SPDX-License-Identifier: BSD-2-Clause */
// A picture as read from and written to PNG and PPM/PGM files: grey, grey
// with alpha, RGB or RGBA, 8 or 16 bits a sample, channels interleaved as in
// the file. The output is written in the layout the input had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One chunk of a PNG file: its four-letter type and its data.
struct PictureChunk {
  std::string type;
  std::string data;
};

struct Picture {
  int width = 0;
  int height = 0;
  int channels = 3;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
  int maxval = 255;  // largest sample value: 2^bits - 1
  // Rows back to back. One byte a sample when maxval <= 255, else one
  // uint16_t in the machine's byte order.
  std::vector<uint8_t> samples;

  // What the file said beyond the samples, kept for the output.
  bool from_palette = false;  // a PNG palette, expanded (written as RGB or RGBA)
  bool pgm = false;           // PPM family: P5 (grey) rather than P6
  // PNG chunks that tell how the samples are shown (gAMA, cHRM, sRGB, iCCP,
  // sBIT, pHYs), in the order the file had them, written back unchanged.
  std::vector<PictureChunk> chunks;
};

inline bool picture_wide(const Picture& p) {
  return p.maxval > 255;
}
inline int picture_bits(const Picture& p) {
  int bits = 0;
  while ((1 << bits) - 1 < p.maxval) ++bits;
  return bits;
}
inline size_t picture_bytes(const Picture& p) {
  return static_cast<size_t>(p.width) * p.height * p.channels * (picture_wide(p) ? 2 : 1);
}
// Sets the size and layout and sizes the samples to match.
void shape_picture(Picture& p, int width, int height, int channels, int maxval);

// Largest width or height, and largest picture, accepted from a file: a
// header cannot make us allocate more than a few hundred megabytes.
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 1LL << 26;

// True when width x height lies within both limits.
inline bool picture_size_allowed(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// Width and height both multiples of 8. False with a message that gives the
// size and this rule. (The library's own rule, zolta_stream_check, is the one
// zolta-run applies; this is the legacy faces'.)
bool frame_size_usable(long long width, long long height, std::string& error);

// Between an 8-bit RGB picture and little-endian words with blue in byte 0,
// green in 1, red in 2 and 0 in the fourth byte, rows back to back: the
// pixels of the VirtualDub face.
void picture_to_rgb32(const Picture& picture, uint32_t* out);
void rgb32_to_picture(const uint32_t* in, int width, int height, Picture& picture);

// True on a machine that stores the low byte of a word first.
bool little_endian_host();
// Swaps the two bytes of each of count 16-bit words.
void swap_bytes16(uint8_t* words, size_t count);
