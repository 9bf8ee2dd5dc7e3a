/* SPDX-License-Identifier: BSD-2-Clause */
// The engine object: one stream's layout, settings, filter bank and level
// plan, and the working memory of the frames it may process at once, all in
// one block of memory. Every face (the public C interface, the VirtualDub
// and AviSynth records) runs frames through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bands.h"
#include "brightness.h"
#include "denoise.h"
#include "filter_bank.h"
#include "frame_io.h"
#include "stream_format.h"
#include "temporal.h"

namespace zolta {

// Settings as the engine keeps them: the eighteen thresholds in the legacy
// record's order ([Y, Cb, Cr][X0, Y0, X1, Y1, X2, Y2]), any 32-bit value
// (the public interface limits them, the legacy faces do not), and the view.
struct EngineSettings {
  int32_t thresholds[3][6];
  int32_t mode;  // 0 normal, 1 high, 2 diff; other values show the denoised picture
  int32_t show_plane;
  int32_t plane;  // out of range: plane 0
  int32_t enabled;
  // 0: the picture is always the planes as denoised (High still amplifies
  // the detail), as the AviSynth face has always done.
  int32_t views;
};

// The working memory of one frame: the float planes, the row pass's scratch
// rows and the column pass's strips; with a temporal radius R also the
// planes of the window's 2R other frames and the temporal step's rows.
struct Workspace {
  FloatPlanes planes;
  ScratchRows scratch;
  ColumnStrips strips;
  // The window's frames as converted (2R + 1; each numbered frame is kept
  // for the next window, under its number), then a spare plane set and one
  // for the temporal step's counts.
  FloatPlanes window[kMaxNeighbours + 3];
  intptr_t numbers[kMaxNeighbours + 1];
  TemporalRows temporal;
  BlockMatch* matches[3][kMaxNeighbours];  // per plane
  float* cells[3];  // per plane, its map of brightness gains (brightness.h)
};

// The row pass's and the column pass's scratch of one more part of a frame
// (bands.h): part 0 works in the workspace's own.
struct BandScratch {
  ScratchRows scratch;
  ColumnStrips strips;
  // With a temporal radius: the temporal step's rows, for a plane's step
  // beside the calling thread's.
  TemporalRows temporal;
};

// The most parts one frame is cut into.
constexpr int32_t kMaxFrameParts = 64;

// The temporal step's settings: per plane the threshold (0: off), and the
// share of the spatial thresholds kept under it (0: all).
struct TemporalSettings {
  int32_t thresholds[3];
  int32_t spatial_share;
  int32_t restore;  // 0..256: the detail given back where frames joined
};

struct Engine {
  const DspKernels* dsp;  // the processor's kernels, chosen when the engine is made
  StreamLayout layout;
  EngineSettings settings;
  FilterBank bank;
  LevelPlan plan;
  LevelPlan window_plans[kMaxNeighbours + 1];  // by the other frames a window has
  int32_t radius;                              // frames before and after the centre of a window
  TemporalSettings temporal;
  BrightnessCurve curves[3];  // per plane: how its thresholds follow brightness
  int32_t workspace_count;
  Workspace* workspaces;  // in the same block, behind the engine
  int32_t band_count;     // the scratch of parts 1.. of a frame
  BandScratch* bands;     // in the same block
};

// Builds the bank and `workspaces` (at least 1) working areas in one block,
// the engine at its start. Null on failure (ZOLTA_ERROR_MEMORY, or
// ZOLTA_ERROR_SIZE for sizes that cannot be represented).
//
// The packed families keep the legacy record's plane geometry: the Y plane
// 128 floats into the block's aligned area, the three planes back to back,
// each of height x (width + 256) floats, the scratch rows right behind.
//
// A temporal radius of 1 or 2 adds room for the window's other frames to
// every working area; the temporal settings start off. `parts` (1..
// kMaxFrameParts) is the most parts a frame may be cut into: parts - 1
// more scratch areas, shared by the frames (one frame at a time uses them).
Engine* engine_create(const StreamLayout& layout, const EngineSettings& settings,
                      int32_t workspaces, zolta_error* error, int32_t radius = 0,
                      int32_t parts = 1);
void engine_destroy(Engine* engine);
// Takes new settings (the level plan follows them). Allocates nothing.
void engine_set_settings(Engine& engine, const EngineSettings& settings);
// Takes new temporal settings (the spatial thresholds' share follows them
// when the radius is not 0). Allocates nothing.
void engine_set_temporal(Engine& engine, const TemporalSettings& temporal);
// Takes the planes' brightness gains (zolta_settings' brightness_gains; all
// of a plane 0: its thresholds stay as they are). Allocates nothing.
void engine_set_brightness(Engine& engine, const uint16_t gains[3][kBrightnessBands]);

// Processes one frame with one workspace, under the default floating-point
// mode. `in` and `out` have been checked against the layout. With a runner
// of more than one part (at most band_count + 1; the caller holds the band
// scratch for the call), the frame's conversions, row and column passes run
// in bands, with the same bytes.
void engine_process(const Engine& engine, Workspace& workspace, const zolta_frame& in,
                    const zolta_frame& out, const BandRunner* runner = nullptr);
// Processes frame `in` with the `count` (0..2 radius) other frames of its
// window, in the rule's order, all checked against the layout. With a
// runner, the planes' temporal steps run at once (the first plane on the
// calling thread, the others on a worker: each block's search starts from
// its neighbours' results, so a plane's step is not cut); the rest in bands
// as engine_process.
void engine_process_window(const Engine& engine, Workspace& workspace, const zolta_frame& in,
                           const zolta_frame* const* neighbours, int32_t count,
                           const zolta_frame& out, const BandRunner* runner = nullptr);

// The view the settings ask for on this layout.
OutputView output_view(const StreamLayout& layout, const EngineSettings& settings);

}  // namespace zolta
