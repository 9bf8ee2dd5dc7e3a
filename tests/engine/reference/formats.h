/* SPDX-License-Identifier: BSD-2-Clause */
// The scalar model of every stream format of the public interface, written
// from the rules in doc/c-api.md one sample at a time: how samples of each
// format and depth reach the 8-bit scale, which planes are denoised with
// which steps, and what every view writes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reference.h"

namespace ref {

struct Format {
  int32_t family;  // zolta_family
  bool is_float;
  int32_t bits;  // 8..16, 32 for float
  int32_t width, height;
};

// A frame in memory: the first byte of each plane's first row and the bytes
// from row to row (packed families use plane 0).
struct FrameRef {
  uint8_t* data[3];
  ptrdiff_t stride[3];
};

// Processes `in` into `out` as the model defines. `in` and `out` must not
// share memory (the model reads all of `in` first anyway).
void process_format(const Format& format, const FrameRef& in, const FrameRef& out,
                    const Settings& settings);

// Frame n from its window of 2R + 1 frames (window[R] is frame n): the
// temporal step on every plane with a temporal threshold, then as
// process_format with those planes' spatial thresholds shared.
void process_window_format(const Format& format, const std::vector<FrameRef>& window,
                           const FrameRef& out, const Settings& settings);

}  // namespace ref
