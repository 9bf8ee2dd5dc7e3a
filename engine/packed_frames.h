/* SPDX-License-Identifier: BSD-2-Clause */
// The two legacy packed formats (32-bit RGB, YUY2) through the processor's
// own conversions in the dispatch record (dsp.h), as the legacy faces have
// always converted them. Same bits as the plain conversions of frame_io.h;
// used when the frame's rows are whole 32-bit words apart.
#pragma once

#include "dsp.h"
#include "frame_io.h"

namespace zolta {

// False (nothing done) when the format or the frame's alignment does not
// allow the dispatch record's conversion.
bool packed_to_planes(const DspKernels& dsp, const StreamLayout& layout, const zolta_frame& in,
                      const FloatPlanes& planes);
// False for the Diff view too, which the plain conversion writes.
bool planes_to_packed(const DspKernels& dsp, const StreamLayout& layout, const FloatPlanes& planes,
                      const OutputView& view, const zolta_frame& out);

}  // namespace zolta
