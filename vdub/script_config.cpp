#include "script_config.h"

#include <cstdio>
#include <cstring>

#include "filter_state.h"

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
  // Unsigned arithmetic wraps where signed arithmetic would overflow.
  const uint32_t value = (static_cast<uint32_t>(first) << 8) + static_cast<uint32_t>(second);
  return static_cast<int32_t>(value);
}

void unpack_pair(int32_t value, int32_t& first, int32_t& second) {
  first = value >> 8;  // arithmetic: keeps the sign
  second = value & 255;
}

void pack_thresholds(const FilterState& state, int32_t packed[9]) {
  const int32_t* run = &state.thresholds[0][0];
  for (int k = 0; k < kPairs; ++k) packed[k] = packed_pair(run[2 * k], run[2 * k + 1]);
}

void unpack_thresholds(const int32_t packed[9], FilterState& state) {
  int32_t* run = &state.thresholds[0][0];
  for (int k = 0; k < kPairs; ++k) unpack_pair(packed[k], run[2 * k], run[2 * k + 1]);
}

bool __cdecl script_string_proc(FilterActivation* fa, const FilterFunctions*, char* buffer,
                                int buffer_length) {
  if (!buffer || buffer_length <= 0) return false;
  int32_t packed[kPairs];
  pack_thresholds(*static_cast<const FilterState*>(fa->filter_data), packed);

  // Room for nine values of any 32-bit size: 7 + 9 * 11 + 8 * 2 + 1 + 1.
  char text[128];
  int length = std::snprintf(text, sizeof text, "Config(");
  for (int k = 0; k < kPairs; ++k) {
    length += std::snprintf(text + length, sizeof text - length, k == 0 ? "%d" : ", %d",
                            static_cast<int>(packed[k]));
  }
  length += std::snprintf(text + length, sizeof text - length, ")");

  if (length >= buffer_length) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text, static_cast<size_t>(length) + 1);
  return true;
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
