/* SPDX-License-Identifier: BSD-2-Clause */
// What a stream's format means to the engine: its planes, their sizes, how
// its samples reach the 8-bit scale, and the checks of the public interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zolta.h"

namespace zolta {

struct StreamLayout {
  zolta_family family;
  bool is_float;
  int32_t bits;                             // 8..16, or 32 for float
  int32_t width, height;                    // of the picture
  int32_t frame_planes;                     // planes of a frame in memory (1 for packed families)
  int32_t planes;                           // planes the denoiser works on: 1 (GRAY) or 3
  int32_t plane_width[3], plane_height[3];  // of the denoiser's planes
  bool rgb;                                 // frames are R, G, B; denoised as Y, Cb, Cr
  bool wide_chroma;                         // chroma at the luma's width (steps further apart)
  int32_t sample_bytes;                     // 1, 2 or 4 (packed families: 1)
  int32_t max_value;                        // 2^bits - 1 for integers
  float k_in, k_out;                        // integer sample x <-> x * k_in on the 8-bit scale
};

// The format's name as messages give it ("4:2:0", "planar RGB", "YUY2", ...).
const char* family_name(int32_t family);

// Checks the stream and fills the layout. Error codes and messages as
// zolta_stream_check.
int stream_layout(const zolta_stream& stream, StreamLayout& layout, zolta_error* error);

// The layout of a legacy packed stream (ZOLTA_FAMILY_RGB32 or YUY2) of any
// positive size, without the public interface's checks: the legacy faces
// check sizes in their own words.
StreamLayout packed_layout(zolta_family family, int32_t width, int32_t height);

// ZOLTA_OK for a record of a version this library reads; otherwise
// ZOLTA_ERROR_ARGUMENT with a message naming the record ("zolta_frame", ...).
int check_version(uint32_t version, const char* record, zolta_error* error);

// True when a plane of the frame has a pixel step other than its sample
// size (planes interleaved in one picture).
bool frame_interleaved(const StreamLayout& layout, const zolta_frame& frame);

// Bytes of one row of frame plane p (packed families: the pixels' bytes).
size_t frame_row_bytes(const StreamLayout& layout, int p);
// Rows of frame plane p.
int32_t frame_rows(const StreamLayout& layout, int p);

// Checks a frame against the stream: pointers, strides (at least a row,
// whole samples), alignment of wider samples. ZOLTA_ERROR_FRAME otherwise.
int check_frame(const StreamLayout& layout, const zolta_frame& frame, const char* which,
                zolta_error* error);

}  // namespace zolta
