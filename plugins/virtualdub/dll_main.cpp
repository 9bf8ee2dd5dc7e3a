// SPDX-License-Identifier: BSD-2-Clause
// The library does nothing when Windows loads it but keep its own module
// handle; everything starts at the exported entry points.
#include "library_module.h"

#ifdef _WIN32

namespace {
HINSTANCE own_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    own_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HINSTANCE library_module() {
  return own_module;
}

#else  // native: the base address of the image this code is in, as on Windows

#include <dlfcn.h>

HINSTANCE library_module() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&library_module), &info)) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

#endif
