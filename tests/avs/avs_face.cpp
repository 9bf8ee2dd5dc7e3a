// SPDX-License-Identifier: BSD-2-Clause
#include "avs_face.h"

#include "denoise_filter.h"
#include "plugin.h"

standin_avs::PluginInitFunc face_plugin_entry() {
  return reinterpret_cast<standin_avs::PluginInitFunc>(&AvisynthPluginInit);
}

standin_avs::ApplyFunc face_create_function() {
  // Through the generic function pointer type: the two declarations of the
  // value type are unrelated to the compiler, alike in memory.
  return reinterpret_cast<standin_avs::ApplyFunc>(reinterpret_cast<void (*)()>(&create_filter));
}

zolta::FilterState* face_filter_state(standin_avs::IClip* clip) {
  // The same object in memory, seen through the face's own declaration.
  DenoiseFilter* filter = dynamic_cast<DenoiseFilter*>(reinterpret_cast<IClip*>(clip));
  return filter ? &filter->state : nullptr;
}
