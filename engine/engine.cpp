#include "engine.h"

#include <cstring>
#include <new>

#include "dsp.h"
#include "errors.h"
#include "filter_bank.h"

namespace zolta {

namespace {

// Every plane: 128 floats in front of its first row and 256 behind every row
// (room for the periodic extension, as the legacy planes have).
constexpr uint64_t kPlaneLead = 128;
constexpr uint64_t kPlaneMargin = 256;
constexpr uint64_t kAlign = 64;

uint64_t plane_floats(const StreamLayout& layout, int p) {
  return kPlaneLead + static_cast<uint64_t>(layout.plane_height[p]) *
                          (static_cast<uint64_t>(layout.plane_width[p]) + kPlaneMargin);
}

uint64_t scratch_slot(const StreamLayout& layout) {
  const uint64_t line = layout.width > layout.height ? layout.width : layout.height;
  return line + 512;
}

// Rounded up to whole 64-byte lines.
uint64_t aligned_floats(uint64_t floats) {
  return (floats + 15) & ~uint64_t{15};
}

}  // namespace

size_t workspace_bytes(const StreamLayout& layout) {
  uint64_t floats = 0;
  for (int p = 0; p < layout.planes; ++p) floats += aligned_floats(plane_floats(layout, p));
  floats += kScratchRowCount * scratch_slot(layout);
  const uint64_t bytes = floats * sizeof(float) + kAlign;
  if (bytes > static_cast<uint64_t>(PTRDIFF_MAX) / 2) return 0;
  return static_cast<size_t>(bytes);
}

namespace {

bool workspace_init(Workspace& w, const StreamLayout& layout) {
  const size_t bytes = workspace_bytes(layout);
  w.block = bytes ? ::operator new(bytes, std::nothrow) : nullptr;
  if (!w.block) return false;
  const uintptr_t raw = reinterpret_cast<uintptr_t>(w.block);
  float* at = reinterpret_cast<float*>((raw + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1));
  for (int p = 0; p < 3; ++p) {
    if (p >= layout.planes) {
      w.planes.plane[p] = nullptr;
      w.planes.stride[p] = 0;
      continue;
    }
    w.planes.plane[p] = at + kPlaneLead;
    w.planes.stride[p] = static_cast<ptrdiff_t>(layout.plane_width[p] + kPlaneMargin);
    at += aligned_floats(plane_floats(layout, p));
  }
  w.scratch = scratch_rows_at(at, static_cast<ptrdiff_t>(scratch_slot(layout)));
  return true;
}

}  // namespace

int engine_create(Engine& engine, const StreamLayout& layout, const EngineSettings& settings,
                  int32_t workspaces, zolta_error* error) {
  engine.layout = layout;
  engine.workspaces = nullptr;
  engine.workspace_count = 0;
  std::memset(&engine.bank, 0, sizeof engine.bank);
  build_daubechies(engine.bank, 2);
  engine_set_settings(engine, settings);
  if (workspaces < 1) workspaces = 1;
  if (workspace_bytes(layout) == 0) {
    return fail(error, ZOLTA_ERROR_SIZE, "%s frame of %d x %d does not fit in memory",
                family_name(layout.family), static_cast<int>(layout.width),
                static_cast<int>(layout.height));
  }
  Workspace* list = new (std::nothrow) Workspace[workspaces];
  if (!list) return fail(error, ZOLTA_ERROR_MEMORY, "out of memory for %d work areas", workspaces);
  for (int32_t k = 0; k < workspaces; ++k) {
    if (!workspace_init(list[k], layout)) {
      for (int32_t j = 0; j < k; ++j) ::operator delete(list[j].block);
      delete[] list;
      return fail(error, ZOLTA_ERROR_MEMORY,
                  "out of memory for the work areas of %d frames of %d x %d", workspaces,
                  static_cast<int>(layout.width), static_cast<int>(layout.height));
    }
  }
  engine.workspaces = list;
  engine.workspace_count = workspaces;
  return succeed(error);
}

void engine_destroy(Engine& engine) {
  for (int32_t k = 0; k < engine.workspace_count; ++k)
    ::operator delete(engine.workspaces[k].block);
  delete[] engine.workspaces;
  engine.workspaces = nullptr;
  engine.workspace_count = 0;
}

void engine_set_settings(Engine& engine, const EngineSettings& settings) {
  engine.settings = settings;
  engine.plan = level_plan_for(settings.thresholds, engine.layout.wide_chroma);
}

OutputView output_view(const StreamLayout& layout, const EngineSettings& s) {
  OutputView view;
  view.plane = s.plane >= 0 && s.plane < layout.planes ? s.plane : 0;
  view.high = s.mode == High;
  if (s.mode == Diff) {
    view.kind = ViewKind::kDiff;
  } else if (s.show_plane != 0 || s.mode == High) {
    view.kind = ViewKind::kGray;
  } else {
    view.kind = ViewKind::kNormal;
  }
  return view;
}

void engine_process(const Engine& engine, Workspace& w, const zolta_frame& in,
                    const zolta_frame& out) {
  const StreamLayout& L = engine.layout;
  if (engine.settings.enabled == 0) {
    copy_frame(L, in, out);
    return;
  }
  const uint32_t float_mode = enter_default_float_mode();
  frame_to_planes(L, in, w.planes);
  const DspKernels& dsp = dsp_kernels();
  const bool high = engine.settings.mode == High;
  for (int p = 0; p < L.planes; ++p) {
    denoise_plane(dsp, engine.bank, engine.plan.chains[p][0], engine.plan.chains[p][1], high,
                  w.planes.plane[p], L.plane_width[p], L.plane_height[p], w.planes.stride[p],
                  w.scratch);
  }
  planes_to_frame(L, w.planes, output_view(L, engine.settings), in, out);
  leave_default_float_mode(float_mode);
}

}  // namespace zolta
