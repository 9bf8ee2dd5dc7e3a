// SPDX-License-Identifier: BSD-2-Clause
#include "avs_functions.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>
#endif

namespace {

AvsFunctions g_functions;

const char kAddFunction[] = "avs_add_function";

#ifdef _WIN32
using Symbol = FARPROC;

Symbol find(void* library, const char* name) {
  return GetProcAddress(static_cast<HMODULE>(library), name);
}

// The host's library, already loaded by the application: the module adds no
// reference of its own and never unloads it.
void* host_library() {
  return reinterpret_cast<void*>(GetModuleHandleA("AviSynth.dll"));
}

void describe_search(char* text, size_t size) {
  std::snprintf(text, size, "AviSynth.dll");
}

// GetModuleHandle took no reference.
void release(void* /*library*/) {}
#else
using Symbol = void*;

Symbol find(void* library, const char* name) {
  return dlsym(library, name);
}

// An object already in the process, by soname or path; RTLD_NOLOAD never
// loads one, and finds a copy the application opened with local scope. It is
// kept only when it exports avs_add_function (and then for the life of the
// process, as the host keeps its plugins).
void* loaded_host(const char* name) {
  void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  if (library && !dlsym(library, kAddFunction)) {
    dlclose(library);
    library = nullptr;
  }
  return library;
}

int collect_name(dl_phdr_info* info, size_t /*size*/, void* names) {
  // The program itself has no name here (it is searched last, below).
  if (!info->dlpi_name || !info->dlpi_name[0]) return 0;
  try {
    static_cast<std::vector<std::string>*>(names)->push_back(info->dlpi_name);
  } catch (...) {
    return 1;  // out of memory: search what was gathered
  }
  return 0;
}

void* host_library() {
  // The soname follows the interface version.
  for (int version = kAvsNewestInterface; version >= kAvsOldestInterface; --version) {
    char soname[32];
    std::snprintf(soname, sizeof soname, "libavisynth.so.%d", version);
    if (void* library = loaded_host(soname)) return library;
  }
  // A host of another soname (a later interface, a renamed build): any loaded
  // object that exports the registration function. The names are gathered
  // first, so that no dlopen runs inside the loader's iteration.
  std::vector<std::string> names;
  dl_iterate_phdr(collect_name, &names);
  for (const std::string& name : names) {
    if (void* library = loaded_host(name.c_str())) return library;
  }
  // The program itself, and the libraries it opened with global scope.
  void* global = dlopen(nullptr, RTLD_NOW);
  if (global && dlsym(global, kAddFunction)) return global;
  return nullptr;
}

void release(void* library) {
  dlclose(library);
}

void describe_search(char* text, size_t size) {
  std::snprintf(text, size,
                "libavisynth.so.%d down to libavisynth.so.%d, then any loaded library exporting %s",
                kAvsNewestInterface, kAvsOldestInterface, kAddFunction);
}
#endif

template <typename F>
bool bind(void* library, const char* name, F& slot, const char** missing) {
  Symbol symbol = find(library, name);
  if (!symbol) {
    if (!*missing) *missing = name;
    return false;
  }
  slot = reinterpret_cast<F>(reinterpret_cast<void (*)()>(symbol));
  return true;
}

}  // namespace

const AvsFunctions* avs_find_functions(char* why, size_t size) {
  void* library = host_library();
  if (!library) {
    char searched[160];
    describe_search(searched, sizeof searched);
    std::snprintf(why, size, "no AviSynth+ library is loaded in this process (looked for %s)",
                  searched);
    return nullptr;
  }
  const char* missing = nullptr;
  AvsFunctions f;
  bool ok = bind(library, "avs_add_function", f.add_function, &missing);
  ok &= bind(library, "avs_check_version", f.check_version, &missing);
  ok &= bind(library, "avs_new_c_filter", f.new_c_filter, &missing);
  ok &= bind(library, "avs_set_to_clip", f.set_to_clip, &missing);
  ok &= bind(library, "avs_release_clip", f.release_clip, &missing);
  ok &= bind(library, "avs_get_frame", f.get_frame, &missing);
  ok &= bind(library, "avs_new_video_frame_p", f.new_video_frame_p, &missing);
  ok &= bind(library, "avs_copy_video_frame", f.copy_video_frame, &missing);
  ok &= bind(library, "avs_make_writable", f.make_writable, &missing);
  ok &= bind(library, "avs_release_video_frame", f.release_video_frame, &missing);
  ok &= bind(library, "avs_get_pitch_p", f.get_pitch_p, &missing);
  ok &= bind(library, "avs_get_read_ptr_p", f.get_read_ptr_p, &missing);
  ok &= bind(library, "avs_get_write_ptr_p", f.get_write_ptr_p, &missing);
  ok &= bind(library, "avs_save_string", f.save_string, &missing);
  ok &= bind(library, "avs_get_env_property", f.get_env_property, &missing);
  if (!ok) {
    std::snprintf(why, size, "the AviSynth+ library in this process does not provide %s", missing);
    release(library);
    return nullptr;
  }
  // Every call finds the same functions. The record is written once, before
  // the first function is registered, and only read afterwards (filters may
  // be running on other threads when a second environment loads the module).
  if (!g_functions.add_function) g_functions = f;
  return &g_functions;
}
