/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth face as the stand-in host reaches it: only through addresses,
// as a host does. Its entry and creation function come as the host's own
// types, and a clip the face made shows its record here. Nothing else of the
// face's declarations reaches the tests, which see the host's alone.
#pragma once

#include "avs_declarations.h"
#include "filter_state.h"

// AvisynthPluginInit, typed as the host calls it.
standin_avs::PluginInitFunc face_plugin_entry();
// The creation function the entry registers, as the host stores it.
standin_avs::ApplyFunc face_create_function();
// The record inside a clip that ZOLTA returned; null for any other clip.
zolta::FilterState* face_filter_state(standin_avs::IClip* clip);

// The record of the filter inside a clip value returned by ZOLTA, or null.
inline zolta::FilterState* state_of(const standin_avs::AVSValue& value) {
  return value.IsClip() ? face_filter_state(value.AsClip().get()) : nullptr;
}
