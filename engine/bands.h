/* SPDX-License-Identifier: BSD-2-Clause */
// One frame's work cut into pieces that run at once: bands of rows for the
// row pass and the conversions, strips of columns for the column pass. Every
// row and every strip is computed by the same operations whichever thread
// takes its piece, so the bytes depend neither on the number of threads nor
// on which thread took which piece.
#pragma once

#include <cstdint>

namespace zolta {

// Piece `piece` of a job, run by the thread in slot `slot` (0: the calling
// thread; 1..parts - 1: the workers), whose scratch it may use.
using PieceTask = void (*)(const void* context, int32_t piece, int32_t slot);
using BandTask = void (*)(const void* context, int32_t part);

// Runs task(context, piece, slot) for every piece 0..pieces - 1, each once,
// and returns when all have returned. The calling thread and the workers
// take the next piece left as each finishes one (a worker that wakes late
// finds fewer left, or none), so that no thread waits on another's share.
// A null `run` (or parts 1) means the calling thread alone, in order.
struct BandRunner {
  void (*run)(void* pool, int32_t pieces, PieceTask task, const void* context);
  void* pool;
  int32_t parts;  // threads, so slots 0..parts - 1
};

// The most pieces of one job (the runner packs the count in 16 bits).
constexpr int32_t kMaxPieces = 4096;

inline int32_t band_parts(const BandRunner* runner) {
  return runner && runner->run && runner->parts > 1 ? runner->parts : 1;
}

inline void run_pieces(const BandRunner* runner, int32_t pieces, PieceTask task,
                       const void* context) {
  if (band_parts(runner) == 1 || pieces <= 1) {
    for (int32_t k = 0; k < pieces; ++k) task(context, k, 0);
    return;
  }
  runner->run(runner->pool, pieces, task, context);
}

// Pieces of `units` units of work (rows, strips) for a runner: one when a
// thread works alone, else a unit each, at most kMaxPieces.
inline int32_t piece_count(const BandRunner* runner, int32_t units) {
  if (band_parts(runner) == 1 || units <= 1) return 1;
  return units < kMaxPieces ? units : kMaxPieces;
}

// band_parts(runner) parts, each run once as task(context, part), by
// whichever thread takes it (part 0 first, by the calling thread).
struct PartCall {
  BandTask task;
  const void* context;
};

inline void call_part(const void* context, int32_t piece, int32_t) {
  const PartCall& call = *static_cast<const PartCall*>(context);
  call.task(call.context, piece);
}

inline void run_bands(const BandRunner* runner, BandTask task, const void* context) {
  const PartCall call{task, context};
  run_pieces(runner, band_parts(runner), call_part, &call);
}

// Part `part` of `parts` of the items 0..count - 1, in units of `unit`
// items (the last part takes the rest): [*first, *end).
inline void band_of(int32_t count, int32_t unit, int32_t parts, int32_t part, int32_t* first,
                    int32_t* end) {
  const int64_t units = (static_cast<int64_t>(count) + unit - 1) / unit;
  const int64_t a = units * part / parts * unit;
  const int64_t b = units * (part + 1) / parts * unit;
  *first = static_cast<int32_t>(a < count ? a : count);
  *end = static_cast<int32_t>(b < count ? b : count);
}

}  // namespace zolta
