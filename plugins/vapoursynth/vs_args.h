// zolta.Denoise's arguments, made from the parameter table: the argument
// string it is registered with and the reading of a call's map.
#pragma once

#include "parameters.h"
#include "settings_args.h"
#include "vs_api.h"

// The type of a row's argument in the argument string: "int[]", "data", ...
const char* vs_arg_type(const ParamDef& p);

// "clip:vnode;config:int[]:opt:empty;...": every row VapourSynth offers, in
// table order. A static text.
const char* vs_args_string();

// Reads the optional arguments into args. The core has checked their types
// and counts against the registered string; an absent one stays unset.
void vs_read_args(const VSMap* in, const VSAPI* vsapi, SettingsArgs& args);
