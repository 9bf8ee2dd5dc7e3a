#include "denoise.h"

#include <cstddef>
#include <cstdint>

#include "dsp.h"

namespace {

// Slot of one stack scratch row: 256 floats in front of the row, room for a
// line of kMaxStackLine samples, its extension and a little more behind.
constexpr int kStackSlot = 3488;

// Runs the analysis chain down and the synthesis chain back up over one line,
// leaving the reconstruction in `result` (which may be the line itself) and
// the coarsest approximation untouched in approx[count - 1].
void run_chain(const DspKernels& dsp, const LevelChain& chain, const FilterBank& bank, float* line,
               float* result, const ScratchRows& s, int32_t n) {
  const float* c = bank.analysis_low;
  const float* b = bank.synthesis_low;
  const LevelStage* st = chain.stages;
  dsp.analyze(line, s.approx[0], s.detail[0], c, n, st[0].exponent);
  if (chain.count >= 2) dsp.analyze(s.approx[0], s.approx[1], s.detail[1], c, n, st[1].exponent);
  if (chain.count == 3) {
    dsp.analyze(s.approx[1], s.approx[2], s.detail[2], c, n, st[2].exponent);
    dsp.synthesize(s.approx[1], s.approx[2], s.detail[2], b, n, st[2].exponent, st[2].threshold);
  }
  if (chain.count >= 2) {
    dsp.synthesize(s.approx[0], s.approx[1], s.detail[1], b, n, st[1].exponent, st[1].threshold);
  }
  dsp.synthesize(result, s.approx[0], s.detail[0], b, n, st[0].exponent, st[0].threshold);
}

// High mode: the line becomes its amplified detail over the coarsest
// approximation.
void amplify_detail(float* r, const float* coarsest, int32_t n) {
  for (int32_t i = 0; i < n; ++i) r[i] = (r[i] - coarsest[i]) * 16.0f;
}

}  // namespace

void denoise_plane(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const ScratchRows& s) {
  if (along_x.count > 0) {
    const float* coarsest = s.approx[along_x.count - 1];
    for (int32_t r = 0; r < rows; ++r) {
      float* line = plane + r * stride;
      run_chain(dsp, along_x, bank, line, s.out_row, s, n);
      if (high && along_y.count == 0) amplify_detail(s.out_row, coarsest, n);
      for (int32_t i = 0; i < n; ++i) line[i] = s.out_row[i];
    }
  }

  if (along_y.count > 0) {
    const float* coarsest = s.approx[along_y.count - 1];
    for (int32_t g = 0; g < n / 4; ++g) {
      float* columns = plane + 4 * g;
      dsp.columns_to_rows(columns, stride, rows, s.column_rows);
      for (int j = 0; j < 4; ++j) {
        float* line = s.column_rows[j];
        run_chain(dsp, along_y, bank, line, line, s, rows);
        if (high) amplify_detail(line, coarsest, rows);
      }
      dsp.rows_to_columns(columns, stride, rows, s.column_rows);
    }
  }
}

namespace {

void denoise_with(const FilterState& state, const ScratchRows& s) {
  const DspKernels& dsp = dsp_kernels();
  const LevelPlan plan = level_plan(state);
  float* const planes[3] = {state.plane_y, state.plane_cb, state.plane_cr};
  for (int p = 0; p < 3; ++p) {
    const int32_t n = (p > 0 && state.yuy2) ? state.proc_width / 2 : state.proc_width;
    denoise_plane(dsp, state.filters, plan.chains[p][0], plan.chains[p][1], state.mode == High,
                  planes[p], n, state.proc_height, n + PlaneBuffers::kMargin, s);
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

ScratchRows scratch_rows_at(float* base, ptrdiff_t slot) {
  float* rows[kScratchRowCount];
  for (int k = 0; k < kScratchRowCount; ++k) rows[k] = base + k * slot + kScratchRowLead;
  return {{rows[0], rows[1], rows[2], rows[3]},
          rows[4],
          {rows[5], rows[7], rows[9]},
          {rows[6], rows[8], rows[10]}};
}

LevelPlan level_plan_for(const int32_t thresholds[3][6], bool wide_chroma) {
  LevelPlan plan{};
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      LevelChain& chain = plan.chains[p][d];
      for (int l = 0; l < 3; ++l) {
        const int32_t v = thresholds[p][d + 2 * l];
        if (v == 0) continue;
        const bool wider = wide_chroma && p > 0 && d == 0;
        chain.stages[chain.count] = {wider ? l + 1 : l, static_cast<float>(v) * 0.0625f};
        ++chain.count;
      }
    }
  }
  return plan;
}

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
