// SPDX-License-Identifier: BSD-2-Clause
#include "window_memory.h"

#include <algorithm>
#include <cstdint>

#include "pipeline.h"

namespace {

// The engine's layout, as far as it sets the size: rows of a plane with a
// margin of 256 floats and a lead of 128; eleven scratch rows of the longer
// side and 512 more; seven column strips of 16 floats by the height and 32;
// nine rows of the temporal step; one strip given back; a block match (16
// bytes) for each block of 8 x 8 of every plane and neighbour.
constexpr uint64_t kMargin = 256;
constexpr uint64_t kLead = 128;

uint64_t plane_set_floats(const zolta_stream& stream) {
  const bool packed = stream.family == ZOLTA_FAMILY_RGB32 || stream.family == ZOLTA_FAMILY_YUY2;
  const int planes = packed ? 3 : zolta_stream_planes(&stream);
  uint64_t floats = 0;
  for (int p = 0; p < planes; ++p) {
    int32_t width = stream.width, height = stream.height;
    if (!packed) zolta_stream_plane_size(&stream, p, &width, &height);
    floats += kLead + static_cast<uint64_t>(height) * (static_cast<uint64_t>(width) + kMargin);
  }
  return floats;
}

}  // namespace

size_t temporal_area_bytes(const zolta_stream& stream, int radius) {
  const uint64_t w = static_cast<uint64_t>(stream.width > 0 ? stream.width : 0);
  const uint64_t h = static_cast<uint64_t>(stream.height > 0 ? stream.height : 0);
  const uint64_t line = std::max(w, h);
  const uint64_t sets = radius > 0 ? 2 * static_cast<uint64_t>(radius) + 4 : 1;
  uint64_t floats = sets * plane_set_floats(stream) + 11 * std::max<uint64_t>(line + 512, 3488) +
                    7 * 16 * (h + 32);
  if (radius > 0) floats += 9 * (w + 32) + 16 * h;
  uint64_t bytes = 4 * floats;
  const bool packed = stream.family == ZOLTA_FAMILY_RGB32 || stream.family == ZOLTA_FAMILY_YUY2;
  const int planes = packed ? 3 : zolta_stream_planes(&stream);
  for (int p = 0; p < planes && radius > 0; ++p) {
    int32_t pw = stream.width, ph = stream.height;
    if (!packed) zolta_stream_plane_size(&stream, p, &pw, &ph);
    const uint64_t blocks =
        static_cast<uint64_t>((pw + 7) / 8) * static_cast<uint64_t>((ph + 7) / 8);
    bytes += 2 * static_cast<uint64_t>(radius) * blocks * 16;
  }
  return static_cast<size_t>(bytes);
}

size_t window_plan_bytes(const WindowPlan& plan, int radius, size_t frame_bytes,
                         size_t area_bytes) {
  const size_t frames = 2 * static_cast<size_t>(plan.slots) + 2 * static_cast<size_t>(radius);
  return static_cast<size_t>(plan.workers) * area_bytes + frames * frame_bytes;
}

WindowPlan plan_windows(int threads, int radius, size_t frame_bytes, size_t area_bytes,
                        size_t budget) {
  WindowPlan plan;
  for (int workers = std::max(threads, 1); workers >= 1; --workers) {
    plan.workers = workers;
    plan.slots = pipeline_slots(workers);
    if (budget == 0 || window_plan_bytes(plan, radius, frame_bytes, area_bytes) <= budget) break;
  }
  return plan;
}
