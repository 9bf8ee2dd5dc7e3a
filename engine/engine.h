// The engine object: one stream's layout, settings, filter bank and level
// plan, and the working memory of the frames it may process at once. Every
// face (the public C interface, the VirtualDub and AviSynth records) runs
// frames through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "denoise.h"
#include "filter_state.h"
#include "frame_io.h"
#include "stream_format.h"

namespace zolta {

// Settings as the engine keeps them: the eighteen thresholds in the legacy
// record's order ([Y, Cb, Cr][X0, Y0, X1, Y1, X2, Y2]), any 32-bit value
// (the public interface limits them, the legacy faces do not), and the view.
struct EngineSettings {
  int32_t thresholds[3][6];
  int32_t mode;  // OutputMode; other values show the denoised picture
  int32_t show_plane;
  int32_t plane;  // out of range: plane 0
  int32_t enabled;
};

// The working memory of one frame: the float planes and the scratch rows,
// carved from one block.
struct Workspace {
  void* block;
  FloatPlanes planes;
  ScratchRows scratch;
};

struct Engine {
  StreamLayout layout;
  EngineSettings settings;
  FilterBank bank;
  LevelPlan plan;
  int32_t workspace_count;
  Workspace* workspaces;
};

// Bytes of one workspace for the layout; 0 when it cannot be represented.
size_t workspace_bytes(const StreamLayout& layout);

// Builds the bank and `workspaces` (at least 1) working areas. On failure
// (ZOLTA_ERROR_MEMORY) the engine holds nothing and needs no destroy.
int engine_create(Engine& engine, const StreamLayout& layout, const EngineSettings& settings,
                  int32_t workspaces, zolta_error* error);
void engine_destroy(Engine& engine);
// Takes new settings (the level plan follows them).
void engine_set_settings(Engine& engine, const EngineSettings& settings);

// Processes one frame with one workspace, under the default floating-point
// mode. `in` and `out` have been checked against the layout.
void engine_process(const Engine& engine, Workspace& workspace, const zolta_frame& in,
                    const zolta_frame& out);

// The view the settings ask for on this layout.
OutputView output_view(const StreamLayout& layout, const EngineSettings& settings);

}  // namespace zolta
