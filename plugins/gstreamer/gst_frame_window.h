/* SPDX-License-Identifier: BSD-2-Clause */
// The frames the element holds for a temporal radius R: frame n goes out
// once frame n + R has come in (or the stream has ended), made from frames
// n - R ... n + R, mirrored at the stream's first frame and, once it has
// ended, at its last, as the other faces mirror a clip.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <deque>

struct HeldFrame {
  GstBuffer* buffer;  // a reference of the window's own
  intptr_t number;    // the frame's number for the denoiser (zolta_frame.number)
};

struct FrameWindow {
  int radius = 0;
  std::deque<HeldFrame> held;  // frames first .. first + held.size() - 1
  int64_t first = 0;
  int64_t received = 0;  // frames since the start (or the last flush)
  int64_t next = 0;      // the next frame to go out
  intptr_t numbers = 0;  // numbers given so far (never given twice)
};

// Takes the reference of `buffer`.
void window_push(FrameWindow& w, GstBuffer* buffer);
// True when frame w.next can go out: its window has come in, or (ended)
// the stream has no more frames and w.next is one of its frames.
bool window_ready(const FrameWindow& w, bool ended);
// The frames of w.next's window, in order (2R + 1).
void window_frames(const FrameWindow& w, bool ended, const HeldFrame** frames);
// Frame w.next has gone out: the frames no later window needs are dropped.
void window_advance(FrameWindow& w);
// Drops every frame held and starts a new stream (a flush, a new format).
void window_clear(FrameWindow& w);
