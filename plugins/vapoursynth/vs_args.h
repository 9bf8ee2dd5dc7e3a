/* SPDX-License-Identifier: BSD-2-Clause */
// zolta.Denoise's arguments, made from the parameter table: the argument
// string it is registered with and the reading of a call's map.
#pragma once

#include <string>

#include "parameters.h"
#include "settings_args.h"
#include "vs_api.h"

// The type of a row's argument in the argument string: "int[]", "data", ...
const char* vs_arg_type(const ParamDef& p);

// "clip:vnode;config:int[]:opt:empty;...": every row VapourSynth offers, in
// table order. A static text.
const char* vs_args_string();

// The text arguments, held at the length the core gives (data may hold any
// byte and need not end in a NUL); args' texts point into it.
struct VsTexts {
  std::string text[kParamCount];
};

// Reads the optional arguments into args. The core has checked their types
// and counts against the registered string; an absent one stays unset. False,
// with a message, for a text that holds a NUL byte, which would otherwise cut
// it short.
bool vs_read_args(const VSMap* in, const VSAPI* vsapi, SettingsArgs& args, VsTexts& texts,
                  zolta_error* error);
