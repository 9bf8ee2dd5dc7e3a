// SPDX-License-Identifier: BSD-2-Clause
#include "packed_frames.h"

#include "dsp.h"

namespace zolta {

namespace {

bool word_aligned(const void* data, ptrdiff_t stride) {
  return (reinterpret_cast<uintptr_t>(data) & 3) == 0 && (stride & 3) == 0;
}

}  // namespace

bool packed_to_planes(const DspKernels& dsp, const StreamLayout& L, const zolta_frame& in,
                      const FloatPlanes& planes) {
  if (L.family != ZOLTA_FAMILY_RGB32 && L.family != ZOLTA_FAMILY_YUY2) return false;
  if (!word_aligned(in.data[0], in.stride[0])) return false;
  const uint32_t* src = static_cast<const uint32_t*>(in.data[0]);
  const ptrdiff_t pitch = in.stride[0] / 4;
  if (L.family == ZOLTA_FAMILY_RGB32) {
    dsp.rgb32_to_planes(src, pitch, L.width, L.height, planes.plane[0], planes.plane[1],
                        planes.plane[2], planes.stride[0]);
  } else {
    dsp.yuy2_to_planes(src, pitch, L.width, L.height, planes.plane[0], planes.plane[1],
                       planes.plane[2], planes.stride[0], planes.stride[1]);
  }
  return true;
}

bool planes_to_packed(const DspKernels& dsp, const StreamLayout& L, const FloatPlanes& planes,
                      const OutputView& view, const zolta_frame& out) {
  if (view.kind == ViewKind::kDiff) return false;
  if (L.family != ZOLTA_FAMILY_RGB32 && L.family != ZOLTA_FAMILY_YUY2) return false;
  if (!word_aligned(out.data[0], out.stride[0])) return false;
  uint8_t* d = static_cast<uint8_t*>(out.data[0]);
  const ptrdiff_t s = out.stride[0];
  const ptrdiff_t ps = planes.stride[0];
  if (L.family == ZOLTA_FAMILY_YUY2) {
    if (view.kind != ViewKind::kNormal) return false;
    // The record's conversion writes rows back to back: row by row for any
    // other stride.
    const ptrdiff_t cs = planes.stride[1];
    if (s == static_cast<ptrdiff_t>(L.width) * 2) {
      dsp.planes_to_yuy2(planes.plane[0], planes.plane[1], planes.plane[2], ps, cs, L.width,
                         L.height, d);
    } else {
      for (int32_t r = 0; r < L.height; ++r) {
        dsp.planes_to_yuy2(planes.plane[0] + r * ps, planes.plane[1] + r * cs,
                           planes.plane[2] + r * cs, ps, cs, L.width, 1, d + r * s);
      }
    }
    return true;
  }
  const bool whole = s == static_cast<ptrdiff_t>(L.width) * 4;
  const int32_t rows = whole ? L.height : 1;
  const int32_t calls = whole ? 1 : L.height;
  for (int32_t r = 0; r < calls; ++r) {
    uint32_t* row = reinterpret_cast<uint32_t*>(d + r * s);
    if (view.kind == ViewKind::kGray) {
      dsp.plane_to_gray(planes.plane[view.plane] + r * ps, ps, L.width, rows, view.high ? 128 : 0,
                        row);
    } else {
      dsp.planes_to_rgb32(planes.plane[0] + r * ps, planes.plane[1] + r * ps,
                          planes.plane[2] + r * ps, ps, L.width, rows, row);
    }
  }
  return true;
}

}  // namespace zolta
