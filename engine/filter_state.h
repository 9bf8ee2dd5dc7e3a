// The per-instance record of the denoiser and the plane buffers it owns.
#pragma once

#include <cstddef>
#include <cstdint>

class IFilterPreview;  // VirtualDub's preview interface; only the dialog calls it.

enum OutputMode : int32_t { Normal = 0, High = 1, Diff = 2 };

// Rows of the wavelet filter bank. The kernels read entries 0..3 of
// analysis_low and synthesis_low.
struct FilterBank {
  float analysis_low[256];
  float analysis_high[256];
  float synthesis_low[256];
  float synthesis_high[256];
};

struct FilterState {
  IFilterPreview* preview;
  float* plane_y;
  float* plane_cb;
  float* plane_cr;
  void* plane_block;
  int32_t thresholds[3][6];  // [Y, Cb, Cr][X0, Y0, X1, Y1, X2, Y2]
  int32_t mode;              // OutputMode
  int32_t proc_width;
  int32_t proc_height;
  FilterBank filters;
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

// Geometry of the single block that alloc_buffers carves into three planes.
// Every plane row is followed by 256 floats of margin; the Y plane starts
// 128 floats into the 16-byte aligned block so that its first row has room
// for the leading periodic extension.
struct PlaneBuffers {
  static constexpr int kMargin = 256;  // floats behind every row
  static constexpr int kLead = 128;    // floats in front of the Y plane
  size_t plane_floats;                 // height * (width + 256)
  size_t scratch_floats;               // denoiser rows for lines longer than 3224
  size_t block_bytes;                  // 0 when the size cannot be represented
};

// Largest line the denoiser's stack scratch holds; longer lines use scratch
// rows placed behind the planes in the same block.
constexpr int kMaxStackLine = 3224;

PlaneBuffers plane_buffers_for(int32_t width, int32_t height);

void init_defaults(FilterState& state);
// Leaves plane_block and the plane pointers null when the block cannot be
// allocated (or its size does not fit in memory); the hosts check for that.
void alloc_buffers(FilterState& state);
void free_buffers(FilterState& state);
