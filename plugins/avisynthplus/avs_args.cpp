// SPDX-License-Identifier: BSD-2-Clause
#include "avs_args.h"

#include <array>

namespace {

bool defined(const AVS_Value& v) {
  return v.type != kAvsVoid;
}

int64_t as_integer(const AVS_Value& v) {
#if defined(_WIN32) && !defined(_WIN64)
  if (v.type == kAvsLong) return *v.d.longlong_ptr;
#else
  if (v.type == kAvsLong) return v.d.longlong;
#endif
  return v.d.integer;
}

double as_float(const AVS_Value& v) {
  switch (v.type) {
    case kAvsInt:
      return v.d.integer;
    case kAvsFloat:
      return v.d.floating_pt;
#if defined(_WIN32) && !defined(_WIN64)
    case kAvsLong:
      return static_cast<double>(*v.d.longlong_ptr);
    case kAvsDouble:
      return *v.d.double_pt_ptr;
#else
    case kAvsLong:
      return static_cast<double>(v.d.longlong);
    case kAvsDouble:
      return v.d.double_pt;
#endif
    default:
      return 0;
  }
}

bool is_integer(const AVS_Value& v) {
  return v.type == kAvsInt || v.type == kAvsLong;
}

// config: the text "Config(...)", or integers (an array, or one value).
bool read_config(const AVS_Value& value, ArgValue& v) {
  if (value.type == kAvsString) {
    v.text = value.d.string;
    return true;
  }
  const bool array = value.type == kAvsArray;
  v.count = array ? value.array_size : 1;
  for (int i = 0; i < v.count; ++i) {
    const AVS_Value& e = array ? value.d.array[i] : value;
    if (!is_integer(e)) return false;
    if (i < kParamMaxValues) v.ints[i] = as_integer(e);
  }
  return true;
}

}  // namespace

std::string avs_param(const ParamDef& p) {
  switch (p.type) {
    case ParamType::kClip:
      return "c";  // positional and required
    case ParamType::kInt:
      return "[" + std::string(p.name) + "]i";
    case ParamType::kIntList:
      // config takes VirtualDub's text as well: any type, read by its type.
      if (p.id == kParamConfig) return "[config].";
      return "[" + std::string(p.name) + "]i*";
    case ParamType::kFloat:
      return "[" + std::string(p.name) + "]f";
    case ParamType::kBool:
      return "[" + std::string(p.name) + "]b";
    case ParamType::kText:
    case ParamType::kChoice:
      return "[" + std::string(p.name) + "]s";
    default:
      return std::string();  // not an AviSynth+ parameter
  }
}

const char* avs_params_string() {
  // Built once; trivially destructible, so the host may keep the pointer.
  static const std::array<char, 256> text = [] {
    std::string s;
    for (const ParamDef& p : kParams)
      if (param_offered(p, kFaceAviSynthPlus)) s += avs_param(p);
    std::array<char, 256> out{};
    s.copy(out.data(), out.size() - 1);
    return out;
  }();
  return text.data();
}

int avs_param_count() {
  int n = 0;
  for (const ParamDef& p : kParams) n += param_offered(p, kFaceAviSynthPlus) ? 1 : 0;
  return n;
}

const char* avs_read_args(const AVS_Value* a, SettingsArgs& args) {
  int k = 0;
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kFaceAviSynthPlus)) continue;
    const AVS_Value& value = a[k++];
    if (p.type == ParamType::kClip || !defined(value)) continue;
    // AviSynth+ 3.7.0 passes an optional array left out as an array of size
    // 0 (later releases as void); no list takes zero values.
    if (value.type == kAvsArray && value.array_size == 0) continue;
    ArgValue& v = args[p.id];
    v.given = true;
    v.count = 1;
    if (p.id == kParamConfig) {
      if (!read_config(value, v)) {
        return "config takes nine integers, [a, ..., i], or the text \"Config(a, ..., i)\"";
      }
      continue;
    }
    switch (p.type) {
      case ParamType::kInt:
        v.ints[0] = as_integer(value);
        break;
      case ParamType::kIntList:
        // An array parameter given one value outright is a list of one.
        v.count = value.type == kAvsArray ? value.array_size : 1;
        for (int i = 0; i < v.count && i < kParamMaxValues; ++i)
          v.ints[i] = as_integer(value.type == kAvsArray ? value.d.array[i] : value);
        break;
      case ParamType::kFloat:
        v.number = as_float(value);
        break;
      case ParamType::kBool:
        v.ints[0] = value.d.boolean ? 1 : 0;
        break;
      default:
        v.text = value.d.string;
        break;
    }
  }
  return nullptr;
}
