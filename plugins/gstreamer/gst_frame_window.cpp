// SPDX-License-Identifier: BSD-2-Clause
#include "gst_frame_window.h"

#include "clip_window.h"

void window_push(FrameWindow& w, GstBuffer* buffer) {
  w.held.push_back(HeldFrame{buffer, ++w.numbers});
  ++w.received;
}

bool window_ready(const FrameWindow& w, bool ended) {
  return ended ? w.next < w.received : w.next + w.radius < w.received;
}

void window_frames(const FrameWindow& w, bool ended, const HeldFrame** frames) {
  for (int k = -w.radius; k <= w.radius; ++k) {
    int64_t i = w.next + k;
    if (ended) {
      i = mirrored(static_cast<int>(i), static_cast<int>(w.received));
    } else if (i < 0) {
      i = -i;
    }
    frames[k + w.radius] = &w.held[static_cast<size_t>(i - w.first)];
  }
}

void window_advance(FrameWindow& w) {
  ++w.next;
  // Later windows reach back to next - R at most; at the start, mirrored
  // frames lie ahead.
  while (!w.held.empty() && w.first < w.next - w.radius) {
    gst_buffer_unref(w.held.front().buffer);
    w.held.pop_front();
    ++w.first;
  }
}

void window_clear(FrameWindow& w) {
  for (HeldFrame& f : w.held) gst_buffer_unref(f.buffer);
  w.held.clear();
  w.first = w.received = w.next = 0;
}
