/* SPDX-License-Identifier: BSD-2-Clause */
// How a float sample becomes an integer, the same on every path and
// processor: what SSE's conversion does under the default floating-point
// mode, written out so that plain code gives the same bits on any target.
#pragma once

#include <cmath>
#include <cstdint>

namespace zolta {

// Nearest integer, ties to even (the default rounding mode, which every frame
// runs under). NaN and values outside the 32-bit range give INT32_MIN, as the
// x86 conversion does; a saturating conversion (ARM's) must not be relied on.
inline int32_t round_sample(float v) {
  if (!(v >= -2147483648.0f && v < 2147483648.0f)) return INT32_MIN;
  return static_cast<int32_t>(std::nearbyint(v));
}

// Rounded, then clamped to 0..max (INT32_MIN so becomes 0): the byte rule of
// the 8-bit formats (max 255) carried to every integer depth.
inline int32_t clamp_sample(int32_t v, int32_t max) {
  return v < 0 ? 0 : (v > max ? max : v);
}

}  // namespace zolta
