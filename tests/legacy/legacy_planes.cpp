// SPDX-License-Identifier: BSD-2-Clause
// The legacy record's own plane pass, kept for the tests that drive the
// planes of a FilterState directly: the denoiser over the record's three
// planes with scratch rows on the stack (or behind the planes for long lines).
#include "legacy_planes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "denoise.h"
#include "dsp.h"

namespace zolta {

namespace {

// Slot of one stack scratch row: 256 floats in front of the row, room for a
// line of kMaxStackLine samples, its extension and a little more behind.
constexpr int kStackSlot = 3488;

}  // namespace

namespace {

void denoise_with(const FilterState& state, const ScratchRows& s) {
  const DspKernels& dsp = dsp_kernels();
  const LevelPlan plan = level_plan(state);
  // The column pass's strips (which the record never had) on the heap.
  std::vector<float> block(kStripCount * strip_floats(state.proc_height) + 16);
  const uintptr_t raw = reinterpret_cast<uintptr_t>(block.data());
  const ColumnStrips strips = column_strips_at(
      reinterpret_cast<float*>((raw + 63) & ~static_cast<uintptr_t>(63)), state.proc_height);
  float* const planes[3] = {state.plane_y, state.plane_cb, state.plane_cr};
  for (int p = 0; p < 3; ++p) {
    const int32_t n = (p > 0 && state.yuy2) ? state.proc_width / 2 : state.proc_width;
    denoise_plane(dsp, state.filters, plan.chains[p][0], plan.chains[p][1], state.mode == High,
                  planes[p], n, state.proc_height, n + PlaneBuffers::kMargin, s, strips);
  }
}

// Frames up to kMaxStackLine: the eleven rows live in this call's frame.
__attribute__((noinline)) void denoise_with_stack_scratch(const FilterState& state) {
  float block[kScratchRowCount * kStackSlot + 16];
  // Align by hand: not every target honours large alignments on the stack.
  const uintptr_t raw = reinterpret_cast<uintptr_t>(block);
  float* base = reinterpret_cast<float*>((raw + 63) & ~static_cast<uintptr_t>(63));
  denoise_with(state, scratch_rows_at(base, kStackSlot));
}

}  // namespace

LevelPlan level_plan(const FilterState& state) {
  // Full-width chroma of RGB32 frames steps twice as far along rows, so a
  // level spans the same distance in pixels in both frame formats.
  return level_plan_for(state.thresholds, state.yuy2 == 0);
}

void denoise_planes(FilterState& state) {
  const int32_t line = state.proc_width > state.proc_height ? state.proc_width : state.proc_height;
  if (line <= kMaxStackLine) {
    denoise_with_stack_scratch(state);
    return;
  }
  // Longer lines: alloc_buffers placed eleven rows of line + 512 floats behind
  // the three planes of the same block.
  const PlaneBuffers b = plane_buffers_for(state.width, state.height);
  const ptrdiff_t slot = (state.width > state.height ? state.width : state.height) + 512;
  denoise_with(state, scratch_rows_at(state.plane_y + 3 * b.plane_floats, slot));
}

}  // namespace zolta
