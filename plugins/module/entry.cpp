// SPDX-License-Identifier: BSD-2-Clause
// The module's exports: the VapourSynth API 4 entry and the two AviSynth+
// C-interface entries, which register the same function with the same
// parameters (AviSynth+ 3.7.4 and later call avisynth_c_plugin_init2, older
// releases only know avisynth_c_plugin_init). The 32-bit Windows build, for
// AviSynth+ only, has the two AviSynth+ entries alone. Nothing is thrown
// across any of them.
#include "avs_filter.h"
#ifdef ZOLTA_PLUGIN_VAPOURSYNTH
#include "vs_filter.h"
#endif

#if defined(_WIN32)
#define ZOLTA_PLUGIN_EXPORT
#else
#define ZOLTA_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

#ifdef ZOLTA_PLUGIN_VAPOURSYNTH
ZOLTA_PLUGIN_EXPORT void VS_CC VapourSynthPluginInit2(VSPlugin* plugin, const VSPLUGINAPI* vspapi) {
  vs_register_plugin(plugin, vspapi);
}
#endif

ZOLTA_PLUGIN_EXPORT const char* AVSC_CC avisynth_c_plugin_init2(AVS_ScriptEnvironment* env) {
  return avs_register_plugin(env);
}

ZOLTA_PLUGIN_EXPORT const char* AVSC_CC avisynth_c_plugin_init(AVS_ScriptEnvironment* env) {
  return avs_register_plugin(env);
}

}  // extern "C"
