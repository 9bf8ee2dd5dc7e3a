// SPDX-License-Identifier: BSD-2-Clause
#include "plugin_module.h"

#include "library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

bool open_plugin_module(const std::string& path, PluginModule& module, std::string& error) {
  module = PluginModule();
#ifdef _WIN32
  HMODULE h = LoadLibraryA(path.c_str());
  if (!h) {
    error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  module.handle = reinterpret_cast<void*>(h);
#else
  module.handle = dlopen(path.c_str(), RTLD_LAZY);
  if (!module.handle) {
    const char* why = dlerror();
    error = why ? why : "cannot load " + path;
    return false;
  }
#endif
  return true;
}

void (*find_plugin_export(const PluginModule& module, const char* const* names, int count,
                          std::string* found))() {
  for (int i = 0; i < count; ++i) {
#ifdef _WIN32
    FARPROC f = GetProcAddress(static_cast<HMODULE>(module.handle), names[i]);
    void (*entry)() = reinterpret_cast<void (*)()>(f);
#else
    void (*entry)() = reinterpret_cast<void (*)()>(dlsym(module.handle, names[i]));
#endif
    if (entry) {
      if (found) *found = names[i];
      return entry;
    }
  }
  return nullptr;
}

void close_plugin_module(PluginModule& module) {
  if (!module.handle) return;
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(module.handle));
#else
  dlclose(module.handle);
#endif
  module = PluginModule();
}

std::string plugin_path_beside_executable() {
#ifdef _WIN32
  return executable_directory() + "zolta_plugin.dll";
#else
  return executable_directory() + "libzolta_plugin.so";
#endif
}

std::string plugin_path_above_executable() {
#ifdef _WIN32
  return executable_directory() + "..\\zolta_plugin.dll";
#else
  return executable_directory() + "../libzolta_plugin.so";
#endif
}
