// SPDX-License-Identifier: BSD-2-Clause
#include "script_config.h"

#include "filter_state.h"
#include "settings_codec.h"

using namespace zolta;

namespace {

constexpr int kPairs = 9;

ScriptFunctionDef script_functions[] = {
    {reinterpret_cast<ScriptFunctionPtr>(reinterpret_cast<void (*)()>(script_config)), "Config",
     "0iiiiiiiii"},
    {nullptr, nullptr, nullptr},
};

}  // namespace

CScriptObject script_object = {nullptr, script_functions, nullptr};

int32_t packed_pair(int32_t first, int32_t second) {
  return zolta::pack_pair(first, second);
}

void unpack_pair(int32_t value, int32_t& first, int32_t& second) {
  zolta::unpack_pair_script(value, first, second);
}

void pack_thresholds(const FilterState& state, int32_t packed[9]) {
  zolta::pack_legacy(state.thresholds, packed);
}

void unpack_thresholds(const int32_t packed[9], FilterState& state) {
  zolta::unpack_legacy(packed, ZOLTA_UNPACK_SCRIPT, state.thresholds);
}

bool __cdecl script_string_proc(FilterActivation* fa, const FilterFunctions*, char* buffer,
                                int buffer_length) {
  if (!buffer || buffer_length <= 0) return false;
  int32_t packed[kPairs];
  pack_thresholds(*static_cast<const FilterState*>(fa->filter_data), packed);
  // A cut call would be saved and later fail to load: the whole text or an
  // empty one.
  const size_t length = zolta::format_config(packed, buffer, static_cast<size_t>(buffer_length));
  return length < static_cast<size_t>(buffer_length);
}

void __cdecl script_config(IScriptInterpreter*, void* context, CScriptValue* args, int arg_count) {
  // The interpreter matches the arguments against "0iiiiiiiii"; a call that
  // somehow carries fewer is ignored rather than read past its end.
  if (!context || !args || arg_count < kPairs) return;
  FilterActivation* fa = static_cast<FilterActivation*>(context);
  int32_t packed[kPairs];
  for (int k = 0; k < kPairs; ++k) packed[k] = args[k].u.i;
  unpack_thresholds(packed, *static_cast<FilterState*>(fa->filter_data));
}
