/* SPDX-License-Identifier: BSD-2-Clause */
// The host's images as the library's frames. An OpenFX image is rows of
// packed RGBA or RGB pixels of 8 or 16 bits or float, its data pointer at the
// bottom-left pixel (row y1) with rows going up by rowBytes, which may be
// negative. The library sees R, G and B as planes of the interleaved picture
// with a pixel step, the top row first, as a picture is stored top-down; it
// never reads or writes alpha.
#pragma once

#include <cstddef>
#include <string>

#include "ofx_api.h"
#include "zolta.h"

struct OfxImageView {
  unsigned char* data = nullptr;  // pixel (x1, y1)
  OfxRectI bounds = {0, 0, 0, 0};
  ptrdiff_t row_bytes = 0;
  int sample_bytes = 0;  // 1, 2 or 4
  int components = 0;    // 4 (RGBA) or 3 (RGB)
  int bits = 0;          // 8, 16 or 32 (float)
};

// The depth and components of the host's names; false for anything else.
bool ofx_pixel_format(const char* depth, const char* components, OfxImageView* view);

// Reads the properties of an image (`which`: "source", "output"). False with *message set when one
// is missing, of the wrong type, or names a depth or components the effect does not take, or when
// the bounds or row bytes cannot hold the pixels.
bool ofx_image_view(const OfxPropertySuiteV1& property, OfxPropertySetHandle image,
                    const char* which, OfxImageView* view, std::string* message);

inline int ofx_width(const OfxRectI& r) {
  return r.x2 - r.x1;
}
inline int ofx_height(const OfxRectI& r) {
  return r.y2 - r.y1;
}
inline ptrdiff_t ofx_pixel_bytes(const OfxImageView& v) {
  return static_cast<ptrdiff_t>(v.sample_bytes) * v.components;
}
// Whether `inner` lies inside `outer`.
bool ofx_rect_inside(const OfxRectI& inner, const OfxRectI& outer);
OfxRectI ofx_rect_intersection(const OfxRectI& a, const OfxRectI& b);

// The stream of a picture the size of the image's bounds.
zolta_stream ofx_stream_of(const OfxImageView& view);
// R, G and B of `area` (inside the bounds), the top row first.
zolta_frame ofx_frame_of(const OfxImageView& view, const OfxRectI& area);

// Over `area` (inside both images' bounds): the whole pixels, or alpha only,
// from one image to another of the same format; or zeros into one image.
void ofx_copy_pixels(const OfxImageView& from, const OfxImageView& to, const OfxRectI& area);
void ofx_copy_alpha(const OfxImageView& from, const OfxImageView& to, const OfxRectI& area);
void ofx_clear(const OfxImageView& to, const OfxRectI& area);
