/* SPDX-License-Identifier: BSD-2-Clause */
// The raw video formats the element takes, as GStreamer names them, and
// their frames as the engine's.
#pragma once

#include <gst/video/video.h>

#include "zolta.h"

// The caps of both pads: the planar formats of the engine, and BGRx/BGRA,
// whose fourth byte is left as it is.
#define ZOLTA_GST_FORMATS                                                               \
  "{ GRAY8, GRAY16_LE, I420, YV12, Y42B, Y444, Y41B, I420_10LE, I420_12LE, I422_10LE, " \
  "I422_12LE, Y444_10LE, Y444_12LE, Y444_16LE, GBR, GBR_10LE, GBR_12LE, BGRx, BGRA }"

// The engine's stream of negotiated video; false for a format outside the list.
bool zolta_stream_of(const GstVideoInfo& info, zolta_stream* stream);

// A mapped frame as the engine's planes: one per component (R, G, B or Y, Cb,
// Cr), each with its own pixel step.
zolta_frame zolta_frame_of(GstVideoFrame* frame, int planes);
