/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth entry of the library and the creation function it registers.
#pragma once

#include "avs_interface.h"

#if defined(_WIN32)
#define ZOLTA_AVS_EXPORT
#else
#define ZOLTA_AVS_EXPORT __attribute__((visibility("default")))
#endif

// Registers ZOLTA(clip, path) with the host and returns the description text.
// Exported as _AvisynthPluginInit@4 from the 32-bit Windows library.
extern "C" ZOLTA_AVS_EXPORT const char* AVS_STDCALL AvisynthPluginInit(IScriptEnvironment* env);

// ZOLTA's creation function: args[0] the clip, args[1] the settings file's
// path (absent when not a string). Returns the new filter as a clip value, or
// raises a "ZOLTA:" message through env->ThrowError.
AVSValue AVS_CDECL create_filter(AVSValue args, void* user_data, IScriptEnvironment* env);

// Shown in place of the path when the script gave none.
constexpr const char kNoPathText[] = "(no path given)";
