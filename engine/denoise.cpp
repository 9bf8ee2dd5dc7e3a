#include "denoise.h"

#include <cstddef>
#include <cstdint>

#include "dsp.h"

namespace zolta {

namespace {

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
                   ptrdiff_t stride, const ScratchRows& s, const RowLoader* loader,
                   const ColumnSink* sink) {
  if (along_x.count > 0) {
    const float* coarsest = s.approx[along_x.count - 1];
    for (int32_t r = 0; r < rows; ++r) {
      float* line = plane + r * stride;
      if (loader) {
        // The row arrives in a scratch row (free until the column pass) and
        // its reconstruction goes straight into the plane.
        float* arrived = s.column_rows[0];
        loader->load(loader->context, r, arrived);
        run_chain(dsp, along_x, bank, arrived, line, s, n);
        if (high && along_y.count == 0) amplify_detail(line, coarsest, n);
        continue;
      }
      run_chain(dsp, along_x, bank, line, s.out_row, s, n);
      if (high && along_y.count == 0) amplify_detail(s.out_row, coarsest, n);
      for (int32_t i = 0; i < n; ++i) line[i] = s.out_row[i];
    }
  } else if (loader) {
    for (int32_t r = 0; r < rows; ++r) loader->load(loader->context, r, plane + r * stride);
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
      if (sink) {
        sink->store(sink->context, 4 * g, rows, s.column_rows);
      } else {
        dsp.rows_to_columns(columns, stride, rows, s.column_rows);
      }
    }
  }
}

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

}  // namespace zolta
