/* SPDX-License-Identifier: BSD-2-Clause */
// The VapourSynth face: the function Denoise in the namespace "zolta".
#pragma once

#include "vs_api.h"

// Configures the plugin and registers its function; called once by the entry.
void vs_register_plugin(VSPlugin* plugin, const VSPLUGINAPI* vspapi);
