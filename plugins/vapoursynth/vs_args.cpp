// SPDX-License-Identifier: BSD-2-Clause
#include "vs_args.h"

#include <array>
#include <string>

#include "plugin_errors.h"

const char* vs_arg_type(const ParamDef& p) {
  switch (p.type) {
    case ParamType::kClip:
      return "vnode";
    case ParamType::kInt:
    case ParamType::kBool:
      return "int";
    case ParamType::kIntList:
      return "int[]";
    case ParamType::kFloat:
      return "float";
    case ParamType::kText:
    case ParamType::kChoice:
      return "data";
    default:
      return nullptr;  // not a VapourSynth argument
  }
}

const char* vs_args_string() {
  // Built once; trivially destructible, so the host may keep the pointer.
  static const std::array<char, 512> text = [] {
    std::string s;
    for (const ParamDef& p : kParams) {
      if (!param_offered(p, kFaceVapourSynth)) continue;
      s += std::string(p.name) + ":" + vs_arg_type(p);
      // The clip is required; a list may be empty, so that its count is
      // ours to refuse with a message that says what is expected.
      if (p.type != ParamType::kClip) s += ":opt";
      if (p.type == ParamType::kIntList) s += ":empty";
      s += ";";
    }
    std::array<char, 512> out{};
    s.copy(out.data(), out.size() - 1);
    return out;
  }();
  return text.data();
}

bool vs_read_args(const VSMap* in, const VSAPI* vsapi, SettingsArgs& args, VsTexts& texts,
                  zolta_error* error) {
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kFaceVapourSynth)) continue;
    ArgValue& v = args[p.id];
    const int n = vsapi->mapNumElements(in, p.name);
    // A list given empty is given; -1 means absent.
    if (n < 0 || (n == 0 && p.type != ParamType::kIntList)) continue;
    int err = 0;
    switch (p.type) {
      case ParamType::kInt:
      case ParamType::kBool:
      case ParamType::kIntList:
        v.given = true;
        v.count = n;
        for (int i = 0; i < n && i < kParamMaxValues; ++i)
          v.ints[i] = vsapi->mapGetInt(in, p.name, i, &err);
        break;
      case ParamType::kFloat:
        v.given = true;
        v.count = 1;
        v.number = vsapi->mapGetFloat(in, p.name, 0, &err);
        break;
      case ParamType::kText:
      case ParamType::kChoice: {
        const char* data = vsapi->mapGetData(in, p.name, 0, &err);
        const int size = vsapi->mapGetDataSize(in, p.name, 0, &err);
        if (!data || size < 0) break;
        std::string& text = texts.text[p.id];
        text.assign(data, static_cast<size_t>(size));
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) {
          plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "%s holds a NUL byte (byte %d of %d)", p.name,
                      static_cast<int>(nul) + 1, size);
          return false;
        }
        v.given = true;
        v.count = 1;
        v.text = text.c_str();
        break;
      }
      default:
        break;  // the clip is the filter's own
    }
  }
  return true;
}
