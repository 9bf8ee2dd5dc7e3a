#include "picture_denoise.h"

#include <vector>

#include "filter_state.h"
#include "rgb32.h"

bool denoise_picture(const RgbPicture& in, const zolta_settings& settings, RgbPicture& out,
                     std::string& error) {
  FilterState state{};
  init_defaults(state);
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) state.thresholds[p][d + 2 * l] = settings.thresholds[p][d][l];
    }
  }
  std::vector<uint32_t> src(static_cast<size_t>(in.width) * in.height), dst(src.size());
  picture_to_rgb32(in, src.data());
  state.width = in.width;
  state.height = in.height;
  state.src = src.data();
  state.dst = dst.data();
  state.src_pitch = in.width;
  alloc_buffers(state);
  if (!state.plane_block) {
    error = "out of memory";
    return false;
  }
  process_rgb32_frame(state);
  free_buffers(state);
  rgb32_to_picture(dst.data(), in.width, in.height, out);
  return true;
}
