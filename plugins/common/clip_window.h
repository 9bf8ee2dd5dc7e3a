/* SPDX-License-Identifier: BSD-2-Clause */
// The frames of a temporal window in a clip of known length, as both plugin
// faces gather them from their host.
#pragma once

// Frame i of a clip of `frames` frames, mirrored at its first and last
// frame (again and again for clips shorter than the window).
inline int mirrored(int i, int frames) {
  if (frames <= 1) return 0;
  const int period = 2 * (frames - 1);
  int k = i % period;
  if (k < 0) k += period;
  return k > frames - 1 ? period - k : k;
}
