/* SPDX-License-Identifier: BSD-2-Clause */
// One frame's work cut into parts that run at once: bands of rows for the
// row pass and the conversions, bands of column strips for the column pass.
// Every row and every strip is computed by the same operations whichever
// part takes it, so the bytes do not depend on the number of parts.
#pragma once

#include <cstdint>

namespace zolta {

using BandTask = void (*)(const void* context, int32_t part);

// Runs task(context, part) for every part 0..parts - 1 and returns when all
// have returned; part 0 on the calling thread. A null `run` (or parts 1)
// means the calling thread alone.
struct BandRunner {
  void (*run)(void* pool, int32_t parts, BandTask task, const void* context);
  void* pool;
  int32_t parts;
};

inline void run_bands(const BandRunner* runner, BandTask task, const void* context) {
  if (!runner || runner->parts <= 1 || !runner->run) {
    task(context, 0);
    return;
  }
  runner->run(runner->pool, runner->parts, task, context);
}

inline int32_t band_parts(const BandRunner* runner) {
  return runner && runner->run && runner->parts > 1 ? runner->parts : 1;
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
