/* SPDX-License-Identifier: BSD-2-Clause */
// Saving and restoring the thresholds through VirtualDub's script language:
// the text of a "Config" call with nine integers, and the function that
// reads such a call back.
#pragma once

#include <cstdint>

#include "vdub_interface.h"

namespace zolta {
struct FilterState;
}  // namespace zolta

extern CScriptObject script_object;

// Two consecutive thresholds of one plane as one integer: first * 256 + second,
// in wrapping 32-bit arithmetic.
int32_t packed_pair(int32_t first, int32_t second);
// The inverse for values in 0..65535; for others the upper part keeps its sign
// and is not masked: -1 gives -1 and 255, 65536 gives 256 and 0.
void unpack_pair(int32_t value, int32_t& first, int32_t& second);

// Nine packed pairs from the eighteen thresholds (Y, Cb, Cr; X0 Y0 X1 Y1 X2 Y2).
void pack_thresholds(const zolta::FilterState& state, int32_t packed[9]);
void unpack_thresholds(const int32_t packed[9], zolta::FilterState& state);

// Writes "Config(a, b, ...)" for the instance. Returns false, writing at most
// an empty text, when the buffer cannot hold the whole call: a cut call
// would be saved and later fail to load.
bool __cdecl script_string_proc(FilterActivation* fa, const FilterFunctions* ff, char* buffer,
                                int buffer_length);

// The script function "Config" with argument list "0iiiiiiiii".
void __cdecl script_config(IScriptInterpreter* interpreter, void* context, CScriptValue* args,
                           int arg_count);
