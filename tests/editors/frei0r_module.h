// SPDX-License-Identifier: BSD-2-Clause
// The built frei0r module opened as a host opens it, for the tests that call
// its entry points directly.
#pragma once

#include <dlfcn.h>

#include <cstring>

extern "C" {
#include <frei0r.h>
}

struct Frei0rModule {
  void* handle = nullptr;
  f0r_instance_t (*construct)(unsigned, unsigned) = nullptr;
  void (*destruct)(f0r_instance_t) = nullptr;
  void (*set_value)(f0r_instance_t, f0r_param_t, int) = nullptr;
  void (*update)(f0r_instance_t, double, const uint32_t*, uint32_t*) = nullptr;
  void (*param_info)(f0r_param_info_t*, int) = nullptr;

  bool load() {
    handle = dlopen(ZOLTA_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    construct = reinterpret_cast<decltype(construct)>(dlsym(handle, "f0r_construct"));
    destruct = reinterpret_cast<decltype(destruct)>(dlsym(handle, "f0r_destruct"));
    set_value = reinterpret_cast<decltype(set_value)>(dlsym(handle, "f0r_set_param_value"));
    update = reinterpret_cast<decltype(update)>(dlsym(handle, "f0r_update"));
    param_info = reinterpret_cast<decltype(param_info)>(dlsym(handle, "f0r_get_param_info"));
    auto init = reinterpret_cast<int (*)()>(dlsym(handle, "f0r_init"));
    return construct && destruct && set_value && update && param_info && init && init() == 1;
  }

  // The index of the parameter named `name`, by the module's own list.
  int index(const char* name) const {
    for (int i = 0; i < 16; ++i) {
      f0r_param_info_t info{};
      param_info(&info, i);
      if (info.name && std::strcmp(info.name, name) == 0) return i;
    }
    return -1;
  }
};
