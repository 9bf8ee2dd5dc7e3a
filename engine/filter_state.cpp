#include "filter_state.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

PlaneBuffers plane_buffers_for(int32_t width, int32_t height) {
  PlaneBuffers b{};
  if (width <= 0 || height <= 0) return b;
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t h = static_cast<uint64_t>(height);
  const uint64_t plane = h * (w + PlaneBuffers::kMargin);  // below 2^63
  // Anything near this size cannot be allocated anyway; refusing it here
  // keeps the arithmetic below from wrapping.
  if (plane > (uint64_t{1} << 48)) return b;
  const uint64_t line = w > h ? w : h;
  // Lines longer than the stack scratch holds get eleven scratch rows behind
  // the planes, each with 256 floats of room in front and 256 behind.
  const uint64_t scratch = line <= static_cast<uint64_t>(kMaxStackLine) ? 0 : 11 * (line + 512);
  // 16 bytes of alignment slack, the lead, three planes, then the scratch rows.
  const uint64_t floats = PlaneBuffers::kLead + 3 * plane + scratch + 16;
  const uint64_t bytes = floats * sizeof(float) + 16;
  if (bytes > std::numeric_limits<size_t>::max() / 2) return b;
  b.plane_floats = static_cast<size_t>(plane);
  b.scratch_floats = static_cast<size_t>(scratch);
  b.block_bytes = static_cast<size_t>(bytes);
  return b;
}

void init_defaults(FilterState& state) {
  std::memset(state.thresholds, 0, sizeof state.thresholds);
  state.mode = Normal;
  state.show_plane = 0;
  state.plane = 0;
  state.enabled = 1;
}

void alloc_buffers(FilterState& state) {
  state.plane_block = nullptr;
  state.plane_y = state.plane_cb = state.plane_cr = nullptr;
  const PlaneBuffers b = plane_buffers_for(state.width, state.height);
  if (b.block_bytes == 0) return;
  void* block = ::operator new(b.block_bytes, std::nothrow);
  if (!block) return;
  const uintptr_t aligned = reinterpret_cast<uintptr_t>(block) & ~static_cast<uintptr_t>(15);
  // Rounding down then stepping 512 bytes in keeps us inside the block.
  float* base = reinterpret_cast<float*>(aligned) + PlaneBuffers::kLead;
  state.plane_block = block;
  state.plane_y = base;
  state.plane_cb = base + b.plane_floats;
  state.plane_cr = base + 2 * b.plane_floats;
}

void free_buffers(FilterState& state) {
  ::operator delete(state.plane_block);
  state.plane_block = nullptr;
}
