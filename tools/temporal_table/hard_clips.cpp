// SPDX-License-Identifier: BSD-2-Clause
#include "hard_clips.h"

#include <cmath>
#include <cstdint>
#include <functional>

namespace {

uint8_t to_byte(double v) {
  const double r = std::nearbyint(v);
  return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

// Y, Cb and Cr of one pixel (full-range BT.601, as make_clip).
struct Pixel {
  double y, cb, cr;
};

// The clip of a function of (frame, row, column).
Clip clip_of(int width, int height, int frames, const std::function<Pixel(int, int, int)>& pixel) {
  Clip clip;
  clip.width = width;
  clip.height = height;
  const size_t luma = static_cast<size_t>(width) * height;
  clip.frames.assign(frames, std::vector<uint8_t>(luma * 3 / 2));
  std::vector<Pixel> p(luma);
  for (int n = 0; n < frames; ++n) {
    for (int r = 0; r < height; ++r) {
      for (int x = 0; x < width; ++x) p[static_cast<size_t>(r) * width + x] = pixel(n, r, x);
    }
    uint8_t* out = clip.frames[n].data();
    for (size_t i = 0; i < luma; ++i) out[i] = to_byte(p[i].y);
    uint8_t* cb = out + luma;
    uint8_t* cr = cb + luma / 4;
    for (int r = 0; r < height / 2; ++r) {
      for (int x = 0; x < width / 2; ++x) {
        const size_t a = static_cast<size_t>(2 * r) * width + 2 * x;
        const size_t at = static_cast<size_t>(r) * (width / 2) + x;
        cb[at] = to_byte((p[a].cb + p[a + 1].cb + p[a + width].cb + p[a + width + 1].cb) / 4);
        cr[at] = to_byte((p[a].cr + p[a + 1].cr + p[a + width].cr + p[a + width + 1].cr) / 4);
      }
    }
  }
  return clip;
}

// The photograph's pixel at (row, column), both wrapping around.
Pixel photo_at(const Picture& photo, int r, int x) {
  r = ((r % photo.height) + photo.height) % photo.height;
  x = ((x % photo.width) + photo.width) % photo.width;
  const uint8_t* px = &photo.samples[(static_cast<size_t>(r) * photo.width + x) * 3];
  const double y = 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2];
  return {y, 128 + 0.564 * (px[2] - y), 128 + 0.713 * (px[0] - y)};
}

// A reproducible value in [0, 1) for integer coordinates.
double hash01(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return static_cast<double>(h) / 4294967296.0;
}

// Text: glyphs of 5 x 7 dots in cells of 8 x 10, one of 16 shapes each,
// light on dark; `row` and `column` on the page.
double text_at(int row, int column) {
  const int cell_r = row >= 0 ? row / 10 : (row - 9) / 10, cell_x = column / 8;
  const int in_r = row - cell_r * 10, in_x = column - cell_x * 8;
  if (in_r < 1 || in_r > 7 || in_x < 1 || in_x > 5) return 20;
  const uint32_t shape = static_cast<uint32_t>(hash01(cell_r, cell_x, 7) * 16);
  return hash01(shape, in_r * 8 + in_x, 11) < 0.45 ? 230 : 20;
}

Pixel grey(double y) {
  return {y, 128, 128};
}

}  // namespace

std::vector<NamedClip> hard_clips(const Picture& photo, int width, int height, int frames) {
  const int middle = frames / 2;
  std::vector<NamedClip> clips;
  // Every fifth frame lit by a flash.
  clips.push_back(
      {"flash", clip_of(width, height, frames, [&](int n, int r, int x) {
         Pixel p = photo_at(photo, r, x);
         if (n % 5 != 2) return p;
         return Pixel{p.y * 0.4 + 150, 128 + (p.cb - 128) * 0.4, 128 + (p.cr - 128) * 0.4};
       })});
  // Tiles of 8 x 8 that change every frame, and a flat frame between them.
  clips.push_back({"flat-between-tiles", clip_of(width, height, frames, [&](int n, int r, int x) {
                     if (n == middle) return grey(128);
                     return grey(30 + 190 * hash01(n, r / 8, x / 8));
                   })});
  // A cut between two views of the photograph 40 and 28 samples apart.
  clips.push_back({"cut", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return n < middle ? photo_at(photo, r, x) : photo_at(photo, r + 28, x + 40);
                   })});
  // A fade to black.
  clips.push_back({"fade", clip_of(width, height, frames, [&](int n, int r, int x) {
                     const double g = 1.0 - 0.8 * n / frames;
                     const Pixel p = photo_at(photo, r, x);
                     return Pixel{p.y * g, 128 + (p.cb - 128) * g, 128 + (p.cr - 128) * g};
                   })});
  // A pan of 30 samples right and 6 down a frame.
  clips.push_back({"fast-pan", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return photo_at(photo, r + 6 * n, x + 30 * n);
                   })});
  // Text scrolling up 3 rows a frame.
  clips.push_back({"text-scroll", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return grey(text_at(r + 3 * n, x));
                   })});
  // A new page of text every frame.
  clips.push_back({"text-pages", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return grey(text_at(r + 1000 * n, x));
                   })});
  // Tiles of 8 x 8 that change every frame.
  clips.push_back({"tiles", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return grey(30 + 190 * hash01(n + 100, r / 8, x / 8));
                   })});
  // A grid of dark lines 8 samples apart moving 5 right and 3 down a frame
  // over the still photograph.
  clips.push_back({"grid-over-still", clip_of(width, height, frames, [&](int n, int r, int x) {
                     const Pixel p = photo_at(photo, r, x);
                     const bool line = (r + 3 * n) % 8 == 0 || (x + 5 * n) % 8 == 0;
                     return line ? Pixel{p.y * 0.3, p.cb, p.cr} : p;
                   })});
  // A pan of 2 samples right and 1 down a frame: on the clean picture with
  // settings for much noise, a displacement a sample or two off passes for
  // good enough.
  clips.push_back({"slow-pan", clip_of(width, height, frames, [&](int n, int r, int x) {
                     return photo_at(photo, r + n, x + 2 * n);
                   })});
  return clips;
}

double frame_luma_squares(const Clip& a, const Clip& b, size_t n) {
  const size_t luma = static_cast<size_t>(a.width) * a.height;
  double squares = 0;
  for (size_t i = 0; i < luma; ++i) {
    const double d = static_cast<double>(a.frames[n][i]) - b.frames[n][i];
    squares += d * d;
  }
  return squares;
}

double frame_luma_psnr(const Clip& a, const Clip& b, size_t n) {
  const size_t luma = static_cast<size_t>(a.width) * a.height;
  const double squares = frame_luma_squares(a, b, n);
  if (squares == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(luma) / squares);
}
