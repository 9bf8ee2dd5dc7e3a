/* SPDX-License-Identifier: BSD-2-Clause */
// The clip that AviSynth holds for each script call of ZOLTA: it wraps the
// source clip and answers frame requests with the denoised source frame.
#pragma once

#include "avs_interface.h"
#include "filter_state.h"

class DenoiseFilter : public GenericVideoFilter {
 public:
  // Takes one reference to source and copies its video info. The state gets
  // yuy2 1, the defaults and the clip's size; no buffers yet.
  explicit DenoiseFilter(const PClip& source);
  ~DenoiseFilter() override;

  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

  zolta::FilterState state;
};
