/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth+ face: the script function ZoltaDenoise.
#pragma once

#include "avs_c_api.h"

// Registers the function with the environment; returns the plugin's
// description, or a text that says why nothing could be registered.
const char* avs_register_plugin(AVS_ScriptEnvironment* env);
