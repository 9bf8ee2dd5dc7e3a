/* SPDX-License-Identifier: BSD-2-Clause */
// The plane denoiser: a chain of up to three wavelet stages along rows, then
// along columns, for each plane.
#pragma once

#include <cstddef>

#include "bands.h"
#include "brightness.h"
#include "filter_bank.h"

namespace zolta {

struct DspKernels;

struct LevelStage {
  int32_t exponent;  // step 2^exponent samples
  float threshold;
};

struct LevelChain {
  int32_t count;  // 0..3
  LevelStage stages[3];
};

// [plane][direction X = 0, Y = 1]
struct LevelPlan {
  LevelChain chains[3][2];
};

// The chains of eighteen thresholds ([plane][X0, Y0, X1, Y1, X2, Y2]); a
// threshold v is v / 16, 0 drops its level. `wide_chroma`: the chroma planes
// have the luma's width, and their steps along rows are twice the luma's, so
// that a level spans the same distance in pixels as with subsampled chroma.
LevelPlan level_plan_for(const int32_t thresholds[3][6], bool wide_chroma);

// Scratch rows of the row pass, in the order they lie in their block.
// The first four are free rows (the first takes a row as it is loaded).
struct ScratchRows {
  float* spare[4];
  float* out_row;
  float* approx[3];
  float* detail[3];
};

constexpr int kScratchRowCount = 11;
// Floats in front of every scratch row (room for the periodic extension).
constexpr int kScratchRowLead = 256;
// Eleven rows `slot` floats apart from `base`, each kScratchRowLead floats in.
// A slot of line + 512 floats holds a line of `line` samples.
ScratchRows scratch_rows_at(float* base, ptrdiff_t slot);

// Scratch of the column pass, which works on strips of up to kStripWidth
// neighbouring columns, a strip row of `width` floats per plane row: the
// strip itself (then its reconstruction), the levels of its transform and a
// strip's room for the column sink.
struct ColumnStrips {
  float* strip;
  float* approx[3];
  float* detail[3];
  float* room;
};

constexpr int32_t kStripWidth = 16;
constexpr int kStripCount = 8;
// Strip rows of room in front of and behind every strip (for the periodic
// extension of steps up to 8).
constexpr int32_t kStripLead = 16;
// Floats of one strip array for planes of up to `rows` rows, a multiple of 16.
size_t strip_floats(int32_t rows);
// The eight arrays back to back from `base` (64-byte aligned: so is every
// strip row of a whole strip).
ColumnStrips column_strips_at(float* base, int32_t rows);

// Fills row `row` of a plane just before the row pass reads it, so that a
// frame's samples reach the denoiser while the row is still in the cache.
struct RowLoader {
  void (*load)(const void* context, int32_t row, float* line);
  const void* context;
};

// Takes the finished strip of columns [first, first + width) of every row
// (`rows` strip rows, `width` floats apart) in place of the column pass's
// write back into the plane (so the plane's content after the call is
// undefined), e.g. straight into a frame. `room` is a strip's scratch of the
// thread that calls (rows x width floats), free for the sink to use.
struct ColumnSink {
  void (*store)(const void* context, int32_t first, int32_t width, int32_t rows,
                const float* strip, float* room);
  const void* context;
};

// Denoises one plane of n samples by `rows` rows (both multiples of 4), rows
// `stride` floats apart, 16-byte aligned, with at least 8 floats of room in
// front of the first row and behind every row; `strips` made for at least
// `rows` rows. `high`: the plane becomes its amplified detail (the High
// view). With a loader, every row is loaded first (the plane's content
// before the call does not matter). With a sink and a column pass, the
// finished columns go to the sink. With both, the plane is kept strip by
// strip instead of row by row (`stride` does not matter then): its memory
// must hold ceil(n / kStripWidth) x strip_floats(rows) floats from `plane`.
void denoise_plane(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const ScratchRows& s, const ColumnStrips& strips,
                   const RowLoader* loader = nullptr, const ColumnSink* sink = nullptr);

// The same work in pieces that run at once (bands.h): the row pass in
// pieces of a few rows, then the column pass strip by strip. Every row and
// every strip goes through the same operations as in denoise_plane, so the
// bytes are the same for any number of threads. A piece run in slot k works
// in scratch[k] and strips[k]; the loader and the sink are called from
// every thread, each row and each strip once.
struct PlaneJob {
  const DspKernels* dsp;
  const FilterBank* bank;
  const LevelChain* along_x;
  const LevelChain* along_y;
  bool high;
  float* plane;
  int32_t n, rows;
  ptrdiff_t stride;
  const RowLoader* loader;
  const ColumnSink* sink;
  bool strip_major;  // the plane is kept strip by strip (loader, sink and columns)
  // Null, or the gains of the plane's samples (brightness.h): every
  // threshold of a sample is multiplied by its gain. Each part reads its
  // rows' gains into its second spare scratch row and its strips' into the
  // column sink's room before the strip's chain.
  const BrightnessMap* brightness;
};

struct BandedPlane {
  PlaneJob job;
  int32_t pieces;
  const ScratchRows* const* scratch;
  const ColumnStrips* const* strips;
};

PlaneJob plane_job(const DspKernels& dsp, const FilterBank& bank, const LevelChain& along_x,
                   const LevelChain& along_y, bool high, float* plane, int32_t n, int32_t rows,
                   ptrdiff_t stride, const RowLoader* loader = nullptr,
                   const ColumnSink* sink = nullptr);
void denoise_plane_banded(const PlaneJob& job, const BandRunner* runner,
                          const ScratchRows* const* scratch, const ColumnStrips* const* strips);
// The same for `count` planes (1..3) at once: their row passes as one job,
// then their column passes as one, so that the threads meet twice a frame
// instead of twice a plane. A thread alone takes them plane by plane.
void denoise_planes_banded(const PlaneJob* jobs, int32_t count, const BandRunner* runner,
                           const ScratchRows* const* scratch, const ColumnStrips* const* strips);
// The two halves of it for callers that cut the row pass themselves: rows
// [first, end) of one plane's row pass, and every plane's column pass as one
// job (after the whole row pass).
void denoise_plane_rows(const PlaneJob& job, const ScratchRows& scratch, int32_t first,
                        int32_t end);
void denoise_planes_columns(const PlaneJob* jobs, int32_t count, const BandRunner* runner,
                            const ColumnStrips* const* strips);

}  // namespace zolta
