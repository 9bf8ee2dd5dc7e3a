/* SPDX-License-Identifier: BSD-2-Clause */
// ZoltaDenoise's arguments, made from the parameter table: the parameter
// string it is registered with and the reading of a call's argument array.
#pragma once

#include <string>

#include "avs_c_api.h"
#include "parameters.h"
#include "settings_args.h"

// A row's parameter in the parameter string: "c" for the clip, "[config]i*".
std::string avs_param(const ParamDef& p);

// "c[config]i*[config_text]s...": every row AviSynth+ offers, in table order.
// A static text.
const char* avs_params_string();

// The number of parameters in the string, and so of the host's argument array.
int avs_param_count();

// Reads the named arguments into args; `a` is the host's argument array, the
// clip first. Returns null, or the message for an argument of a type its
// parameter cannot take (config, which the host passes whatever its type).
const char* avs_read_args(const AVS_Value* a, SettingsArgs& args);
