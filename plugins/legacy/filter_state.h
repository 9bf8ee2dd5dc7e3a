/* SPDX-License-Identifier: BSD-2-Clause */
// The per-instance record the two legacy hosts share (VirtualDub keeps it in
// its instance block, the AviSynth face in its filter clip), and the calls
// that feed the engine object from it. Its fields stay in their order;
// plane_block holds the engine object and the plane pointers point into its
// working area.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filter_bank.h"

class IFilterPreview;  // VirtualDub's preview interface; only the dialog calls it.

namespace zolta {

enum OutputMode : int32_t { Normal = 0, High = 1, Diff = 2 };

struct FilterState {
  ::IFilterPreview* preview;
  float* plane_y;
  float* plane_cb;
  float* plane_cr;
  void* plane_block;         // the engine object (zolta::Engine), or null
  int32_t thresholds[3][6];  // [Y, Cb, Cr][X0, Y0, X1, Y1, X2, Y2]
  int32_t mode;              // OutputMode
  int32_t proc_width;
  int32_t proc_height;
  FilterBank filters;  // the bank, built once when the stream starts
  int32_t show_plane;
  int32_t plane;
  int32_t enabled;
  uint32_t* src;
  uint32_t* dst;
  int32_t src_pitch;  // in 32-bit words, may be negative
  int32_t width;
  int32_t height;
  int32_t yuy2;
};

// Geometry of the planes in the engine object's working area, as the legacy
// record has always had it: every plane row is followed by 256 floats of
// margin; the Y plane starts 128 floats into the aligned area so that its
// first row has room for the leading periodic extension; Cb and Cr follow,
// each as large as Y; the denoiser's scratch rows lie behind them.
struct PlaneBuffers {
  static constexpr int kMargin = 256;  // floats behind every row
  static constexpr int kLead = 128;    // floats in front of the Y plane
  size_t plane_floats;                 // height * (width + 256)
};

PlaneBuffers plane_buffers_for(int32_t width, int32_t height);

void init_defaults(FilterState& state);

// The one set-up call of both faces: frees what the record held, takes the
// frame size and format, and builds the engine object (filter bank, level
// plan, planes) for the stream. False, with plane_block and the plane
// pointers null, when the size does not fit in memory or the memory is not
// there; the hosts report that in their own words.
bool start_stream(FilterState& state, int32_t width, int32_t height, bool yuy2);

// The engine object for the record's width, height and format (what
// start_stream does after taking them); leaves the pointers null on failure.
void alloc_buffers(FilterState& state);
void free_buffers(FilterState& state);

// Throws a const char* message for an order outside 2..10, before touching
// the bank.
void set_daubechies(FilterState& state, int order);

}  // namespace zolta
