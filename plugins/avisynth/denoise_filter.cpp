// SPDX-License-Identifier: BSD-2-Clause
#include "denoise_filter.h"

#include <cstring>

#include "yuy2.h"

DenoiseFilter::DenoiseFilter(const PClip& source) : GenericVideoFilter(source) {
  std::memset(&state, 0, sizeof state);
  state.yuy2 = 1;
  zolta::init_defaults(state);
  state.width = vi.width;
  state.height = vi.height;
}

DenoiseFilter::~DenoiseFilter() {
  zolta::free_buffers(state);
}

namespace {

// The engine reads width * 2 bytes from each of height source rows, stepping
// by the pitch in whole 32-bit words, and writes height rows back to back.
const char* check_frames(const VideoFrame& src, const VideoFrame& dst, int width, int height) {
  const int row = width * 2;
  if (src.GetRowSize() < row || src.GetHeight() < height || src.GetPitch() < row ||
      src.GetPitch() % 4 != 0) {
    return "ZOLTA:Source frame does not match the clip.";
  }
  if (!dst.GetWritePtr() || dst.GetRowSize() < row || dst.GetHeight() < height ||
      dst.GetPitch() != row) {
    return "ZOLTA:New frame is not writable with rows of width * 2 bytes.";
  }
  return nullptr;
}

}  // namespace

PVideoFrame AVS_STDCALL DenoiseFilter::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame src = child->GetFrame(n, env);
  PVideoFrame dst = env->NewVideoFrame(vi, 8);
  const char* problem = (src && dst)
                            ? check_frames(*src.get(), *dst.get(), state.width, state.height)
                            : "ZOLTA:Source or new frame missing.";
  if (problem) {
    // Let go of both frames before raising: the host's error may not unwind
    // through this module.
    src = PVideoFrame();
    dst = PVideoFrame();
    env->ThrowError("%s", problem);
    return PVideoFrame();
  }
  state.src = reinterpret_cast<uint32_t*>(const_cast<BYTE*>(src->GetReadPtr()));
  state.src_pitch = src->GetPitch() / 4;
  state.dst = reinterpret_cast<uint32_t*>(dst->GetWritePtr());
  zolta::process_yuy2_frame(state);
  return dst;
}
