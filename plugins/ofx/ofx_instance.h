/* SPDX-License-Identifier: BSD-2-Clause */
// One instance of the effect: its clips and parameters, the denoiser of the
// stream it renders (made again when the size, depth or radius changes) and
// the actions that use them.
#pragma once

#include "ofx_api.h"

OfxStatus ofx_create_instance(OfxImageEffectHandle effect);
OfxStatus ofx_destroy_instance(OfxImageEffectHandle effect);
// A new pass over the clip (or the host running short of memory): frames
// converted before are not used again, as the clip's pictures may have
// changed since.
OfxStatus ofx_forget_frames(OfxImageEffectHandle effect);
OfxStatus ofx_frames_needed(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                            OfxPropertySetHandle out_args);
OfxStatus ofx_render(OfxImageEffectHandle effect, OfxPropertySetHandle in_args);
