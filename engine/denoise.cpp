// SPDX-License-Identifier: BSD-2-Clause
#include "denoise.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp.h"

namespace zolta {

static_assert(kStripWidth == kBrightnessCell, "a strip of columns spans the centres of two cells");

namespace {

// Runs the analysis chain down and the synthesis chain back up over one line,
// leaving the reconstruction in `result` (which may be the line itself) and
// the coarsest approximation untouched in approx[count - 1].
// `gains`: null, or the gain of every sample's thresholds.
void run_chain(const DspKernels& dsp, const LevelChain& chain, const FilterBank& bank, float* line,
               float* result, const ScratchRows& s, int32_t n, const float* gains = nullptr) {
  const float* c = bank.analysis_low;
  const float* b = bank.synthesis_low;
  const LevelStage* st = chain.stages;
  auto synthesize = [&](float* out, int l) {
    if (gains) {
      dsp.synthesize_scaled(out, s.approx[l], s.detail[l], b, n, st[l].exponent, st[l].threshold,
                            gains);
    } else {
      dsp.synthesize(out, s.approx[l], s.detail[l], b, n, st[l].exponent, st[l].threshold);
    }
  };
  dsp.analyze(line, s.approx[0], s.detail[0], c, n, st[0].exponent);
  if (chain.count >= 2) dsp.analyze(s.approx[0], s.approx[1], s.detail[1], c, n, st[1].exponent);
  if (chain.count == 3) {
    dsp.analyze(s.approx[1], s.approx[2], s.detail[2], c, n, st[2].exponent);
    synthesize(s.approx[1], 2);
  }
  if (chain.count >= 2) synthesize(s.approx[0], 1);
  synthesize(result, 0);
}

int32_t wrap_row(int32_t r, int32_t rows) {
  const int32_t m = r % rows;
  return m < 0 ? m + rows : m;
}

// Copies one strip row; a whole strip's rows in a copy of fixed size.
inline void copy_strip_row(float* to, const float* from, int32_t width) {
  if (width == kStripWidth) {
    std::memcpy(to, from, kStripWidth * sizeof(float));
  } else {
    std::memcpy(to, from, static_cast<size_t>(width) * sizeof(float));
  }
}

// Writes `count` strip rows in front of and behind a strip of `rows` rows,
// `width` floats each, as its periodic continuation.
void extend_strip(float* strip, int32_t width, int32_t rows, int32_t count) {
  for (int32_t k = 1; k <= count; ++k) {
    copy_strip_row(strip - k * width, strip + wrap_row(-k, rows) * width, width);
    copy_strip_row(strip + (rows - 1 + k) * width, strip + wrap_row(rows - 1 + k, rows) * width,
                   width);
  }
}

// Copies `rows` rows of a strip between the plane and the strip's scratch.
void copy_rows(float* to, ptrdiff_t to_stride, const float* from, ptrdiff_t from_stride,
               int32_t width, int32_t rows) {
  for (int32_t r = 0; r < rows; ++r) {
    // Rows far apart: ask for each a few rows ahead.
    if (r + 12 < rows) __builtin_prefetch(from + (r + 12) * from_stride);
    copy_strip_row(to + r * to_stride, from + r * from_stride, width);
  }
}

// run_chain over a strip of columns: the same levels, sample by sample the
// same operations, with the neighbours of a sample `step` strip rows away.
// The reconstruction replaces the strip.
void run_strip_chain(const DspKernels& dsp, const LevelChain& chain, const FilterBank& bank,
                     float* strip, const ColumnStrips& s, int32_t width, int32_t rows,
                     const float* gains) {
  const int32_t count = width * rows;
  const LevelStage* st = chain.stages;
  for (int32_t l = 0; l < chain.count; ++l) {
    float* input = l == 0 ? strip : s.approx[l - 1];
    const int32_t step = 1 << st[l].exponent;
    extend_strip(input, width, rows, 2 * step);
    dsp.analyze_span(input, s.approx[l], s.detail[l], bank.analysis_low, count, step * width);
  }
  for (int32_t l = chain.count - 1; l >= 0; --l) {
    float* output = l == 0 ? strip : s.approx[l - 1];
    const int32_t step = 1 << st[l].exponent;
    extend_strip(s.approx[l], width, rows, 2 * step);
    extend_strip(s.detail[l], width, rows, 2 * step);
    if (gains) {
      dsp.synthesize_span_scaled(output, s.approx[l], s.detail[l], bank.synthesis_low, count,
                                 step * width, st[l].threshold, gains);
    } else {
      dsp.synthesize_span(output, s.approx[l], s.detail[l], bank.synthesis_low, count, step * width,
                          st[l].threshold);
    }
  }
}

// High mode: the line becomes its amplified detail over the coarsest
// approximation.
void amplify_detail(float* r, const float* coarsest, int32_t n) {
  for (int32_t i = 0; i < n; ++i) r[i] = (r[i] - coarsest[i]) * 16.0f;
}

// A plane kept strip by strip at `base`: the strip of columns from `first`
// (a multiple of 16) lies kStripLead strip rows into slot first / 16 of
// strip_floats(rows) floats each, its rows as wide as the strip, so that it
// has room for its extension. Returns its first row.
float* strip_in_place(float* base, int32_t first, int32_t rows) {
  return base + (first / kStripWidth) * strip_floats(rows) + kStripLead * kStripWidth;
}

// Row r into such a plane, with plain stores: the strips stay in the cache
// for the column pass where the cache holds them (a 1080p frame's planes do
// in a large last-level cache), which spares the memory both cores share.
void scatter_row(const float* row, int32_t n, int32_t r, int32_t rows, float* base) {
  int32_t first = 0;
  for (; first + kStripWidth <= n; first += kStripWidth) {
    float* to = strip_in_place(base, first, rows) + static_cast<ptrdiff_t>(r) * kStripWidth;
    std::memcpy(to, row + first, kStripWidth * sizeof(float));
  }
  if (first < n) {
    const int32_t width = n - first;
    std::memcpy(strip_in_place(base, first, rows) + static_cast<ptrdiff_t>(r) * width, row + first,
                static_cast<size_t>(width) * sizeof(float));
  }
}

}  // namespace

namespace {

// Rows [first, end) of the row pass (with a loader, also the loading).
void denoise_rows(const PlaneJob& j, const ScratchRows& s, int32_t first, int32_t end) {
  const DspKernels& dsp = *j.dsp;
  const LevelChain& along_x = *j.along_x;
  const int32_t n = j.n;
  float* plane = j.plane;
  const RowLoader* loader = j.loader;
  // The gains of the row's samples, where the thresholds follow brightness.
  float* gains = j.brightness && along_x.count > 0 ? s.spare[1] : nullptr;
  auto gains_of = [&](int32_t r) -> const float* {
    if (gains) brightness_gain_row(*j.brightness, r, 0, n, gains);
    return gains;
  };
  if (j.strip_major) {
    for (int32_t r = first; r < end; ++r) {
      float* arrived = s.spare[0];
      loader->load(loader->context, r, arrived);
      const float* done = arrived;
      if (along_x.count > 0) {
        run_chain(dsp, along_x, *j.bank, arrived, s.out_row, s, n, gains_of(r));
        done = s.out_row;
      }
      scatter_row(done, n, r, j.rows, plane);
    }
  } else if (along_x.count > 0) {
    const bool amplify = j.high && j.along_y->count == 0;
    const float* coarsest = s.approx[along_x.count - 1];
    for (int32_t r = first; r < end; ++r) {
      float* line = plane + r * j.stride;
      if (loader) {
        // The row arrives in a spare scratch row and its reconstruction goes
        // straight into the plane.
        float* arrived = s.spare[0];
        loader->load(loader->context, r, arrived);
        run_chain(dsp, along_x, *j.bank, arrived, line, s, n, gains_of(r));
        if (amplify) amplify_detail(line, coarsest, n);
        continue;
      }
      run_chain(dsp, along_x, *j.bank, line, s.out_row, s, n, gains_of(r));
      if (amplify) amplify_detail(s.out_row, coarsest, n);
      for (int32_t i = 0; i < n; ++i) line[i] = s.out_row[i];
    }
  } else if (loader) {
    for (int32_t r = first; r < end; ++r) loader->load(loader->context, r, plane + r * j.stride);
  }
}

// The column pass over the strips of columns [first, end) (multiples of
// kStripWidth but for the plane's last column).
void denoise_columns(const PlaneJob& j, const ColumnStrips& strips, int32_t first, int32_t end) {
  const LevelChain& along_y = *j.along_y;
  const int32_t n = j.n, rows = j.rows;
  const float* coarsest = strips.approx[along_y.count - 1];
  for (int32_t at = first; at < end; at += kStripWidth) {
    const int32_t width = n - at < kStripWidth ? n - at : kStripWidth;
    float* columns = j.plane + at;
    float* strip = j.strip_major ? strip_in_place(j.plane, at, rows) : strips.strip;
    if (!j.strip_major) copy_rows(strip, width, columns, j.stride, width, rows);
    // The gains of the strip's samples go to the sink's room, free until
    // the strip is done.
    float* gains = nullptr;
    if (j.brightness) {
      gains = strips.room;
      brightness_gain_strip(*j.brightness, at, width, rows, gains);
    }
    run_strip_chain(*j.dsp, along_y, *j.bank, strip, strips, width, rows, gains);
    if (j.high) amplify_detail(strip, coarsest, width * rows);
    if (j.sink) {
      j.sink->store(j.sink->context, at, width, rows, strip, strips.room);
    } else {
      copy_rows(columns, j.stride, strip, width, width, rows);
    }
  }
}

// Rows of a piece of the row pass: a few, so that the threads finish a
// pass close together.
constexpr int32_t kRowPiece = 4;

void rows_part(const void* context, int32_t piece, int32_t slot) {
  const BandedPlane& b = *static_cast<const BandedPlane*>(context);
  int32_t first, end;
  band_of(b.job.rows, kRowPiece, b.pieces, piece, &first, &end);
  if (first < end) denoise_rows(b.job, *b.scratch[slot], first, end);
}

void columns_part(const void* context, int32_t piece, int32_t slot) {
  const BandedPlane& b = *static_cast<const BandedPlane*>(context);
  int32_t first, end;
  band_of(b.job.n, kStripWidth, b.pieces, piece, &first, &end);
  if (first < end) denoise_columns(b.job, *b.strips[slot], first, end);
}

}  // namespace

PlaneJob plane_job(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const RowLoader* loader, const ColumnSink* sink) {
  // Loaded rows whose columns go to a sink never need the plane's layout:
  // the rows are kept strip by strip, each strip in one piece.
  const bool strip_major = loader && sink && along_y.count > 0;
  return PlaneJob{&dsp, &bank,  &along_x, &along_y, high,        plane,  n,
                  rows, stride, loader,   sink,     strip_major, nullptr};
}

void denoise_plane(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const ScratchRows& s, const ColumnStrips& strips,
                   const RowLoader* loader, const ColumnSink* sink) {
  const PlaneJob job =
      plane_job(dsp, bank, along_x, along_y, high, plane, n, rows, stride, loader, sink);
  denoise_rows(job, s, 0, rows);
  if (along_y.count > 0) denoise_columns(job, strips, 0, n);
}

void denoise_plane_banded(const PlaneJob& job, const BandRunner* runner,
                          const ScratchRows* const* scratch, const ColumnStrips* const* strips) {
  const BandedPlane rows{job, piece_count(runner, (job.rows + kRowPiece - 1) / kRowPiece), scratch,
                         strips};
  run_pieces(runner, rows.pieces, rows_part, &rows);
  if (job.along_y->count == 0) return;
  const BandedPlane columns{job, piece_count(runner, (job.n + kStripWidth - 1) / kStripWidth),
                            scratch, strips};
  run_pieces(runner, columns.pieces, columns_part, &columns);
}

namespace {

// The planes' row passes as one job, then their column passes as one: the
// pieces of plane 0, then those of plane 1 ..., so that no thread waits at
// the end of each plane's pass.
struct BandedPlanes {
  const PlaneJob* jobs;
  int32_t count;
  int32_t first[4];  // the first piece of each plane; first[count]: all of them
  const ScratchRows* const* scratch;
  const ColumnStrips* const* strips;
};

int32_t plane_of_piece(const BandedPlanes& b, int32_t piece) {
  int32_t p = 0;
  while (piece >= b.first[p + 1]) ++p;
  return p;
}

void planes_rows_part(const void* context, int32_t piece, int32_t slot) {
  const BandedPlanes& b = *static_cast<const BandedPlanes*>(context);
  const int32_t p = plane_of_piece(b, piece);
  const PlaneJob& job = b.jobs[p];
  int32_t first, end;
  band_of(job.rows, kRowPiece, b.first[p + 1] - b.first[p], piece - b.first[p], &first, &end);
  if (first < end) denoise_rows(job, *b.scratch[slot], first, end);
}

void planes_columns_part(const void* context, int32_t piece, int32_t slot) {
  const BandedPlanes& b = *static_cast<const BandedPlanes*>(context);
  const int32_t p = plane_of_piece(b, piece);
  const PlaneJob& job = b.jobs[p];
  int32_t first, end;
  band_of(job.n, kStripWidth, b.first[p + 1] - b.first[p], piece - b.first[p], &first, &end);
  if (first < end) denoise_columns(job, *b.strips[slot], first, end);
}

}  // namespace

void denoise_planes_banded(const PlaneJob* jobs, int32_t count, const BandRunner* runner,
                           const ScratchRows* const* scratch, const ColumnStrips* const* strips) {
  if (band_parts(runner) == 1) {
    for (int32_t p = 0; p < count; ++p) denoise_plane_banded(jobs[p], runner, scratch, strips);
    return;
  }
  // Whole pieces for each plane, kMaxPieces at most in all.
  const int32_t share = kMaxPieces / (count > 0 ? count : 1);
  BandedPlanes rows{jobs, count, {}, scratch, strips};
  BandedPlanes columns = rows;
  for (int32_t p = 0; p < count; ++p) {
    const int32_t r = (jobs[p].rows + kRowPiece - 1) / kRowPiece;
    const int32_t c =
        jobs[p].along_y->count > 0 ? (jobs[p].n + kStripWidth - 1) / kStripWidth : 0;
    rows.first[p + 1] = rows.first[p] + (r < share ? r : share);
    columns.first[p + 1] = columns.first[p] + (c < share ? c : share);
  }
  run_pieces(runner, rows.first[count], planes_rows_part, &rows);
  if (columns.first[count] > 0) run_pieces(runner, columns.first[count], planes_columns_part, &columns);
}

void denoise_planes_columns(const PlaneJob* jobs, int32_t count, const BandRunner* runner,
                            const ColumnStrips* const* strips) {
  const bool alone = band_parts(runner) == 1;
  const int32_t share = kMaxPieces / (count > 0 ? count : 1);
  BandedPlanes columns{jobs, count, {}, nullptr, strips};
  for (int32_t p = 0; p < count; ++p) {
    const int32_t c = jobs[p].along_y->count == 0 ? 0
                      : alone                     ? 1
                                                  : (jobs[p].n + kStripWidth - 1) / kStripWidth;
    columns.first[p + 1] = columns.first[p] + (c < share ? c : share);
  }
  if (columns.first[count] > 0) run_pieces(runner, columns.first[count], planes_columns_part, &columns);
}

void denoise_plane_rows(const PlaneJob& job, const ScratchRows& scratch, int32_t first,
                        int32_t end) {
  if (first < end) denoise_rows(job, scratch, first, end);
}

ScratchRows scratch_rows_at(float* base, ptrdiff_t slot) {
  float* rows[kScratchRowCount];
  for (int k = 0; k < kScratchRowCount; ++k) rows[k] = base + k * slot + kScratchRowLead;
  return {{rows[0], rows[1], rows[2], rows[3]},
          rows[4],
          {rows[5], rows[7], rows[9]},
          {rows[6], rows[8], rows[10]}};
}

size_t strip_floats(int32_t rows) {
  return static_cast<size_t>(kStripWidth) * (static_cast<size_t>(rows) + 2 * kStripLead);
}

ColumnStrips column_strips_at(float* base, int32_t rows) {
  const size_t slot = strip_floats(rows);
  const size_t lead = static_cast<size_t>(kStripLead) * kStripWidth;
  float* a[kStripCount];
  for (int k = 0; k < kStripCount; ++k) a[k] = base + k * slot + lead;
  return {a[0], {a[1], a[3], a[5]}, {a[2], a[4], a[6]}, a[7]};
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
