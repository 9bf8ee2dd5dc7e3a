#include "avs_functions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

AvsFunctions g_functions;

#ifdef _WIN32
using Symbol = FARPROC;
#else
using Symbol = void*;
#endif

// The host's library, already loaded by the application: the module adds no
// reference of its own and never unloads it.
void* host_library() {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetModuleHandleA(avs_host_library_name()));
#else
  // RTLD_NOLOAD finds the loaded copy by its soname, even when the
  // application opened it by path with local scope. The reference this takes
  // is kept for the life of the process, as the host keeps its plugins.
  return dlopen(avs_host_library_name(), RTLD_NOW | RTLD_NOLOAD);
#endif
}

Symbol find(void* library, const char* name) {
#ifdef _WIN32
  return GetProcAddress(static_cast<HMODULE>(library), name);
#else
  return dlsym(library, name);
#endif
}

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

const char* avs_host_library_name() {
#ifdef _WIN32
  return "AviSynth.dll";
#else
  return "libavisynth.so.12";
#endif
}

const AvsFunctions* avs_find_functions(const char** missing) {
  *missing = nullptr;
  void* library = host_library();
  if (!library) {
    *missing = avs_host_library_name();
    return nullptr;
  }
  AvsFunctions f;
  bool ok = bind(library, "avs_add_function", f.add_function, missing);
  ok &= bind(library, "avs_new_c_filter", f.new_c_filter, missing);
  ok &= bind(library, "avs_set_to_clip", f.set_to_clip, missing);
  ok &= bind(library, "avs_release_clip", f.release_clip, missing);
  ok &= bind(library, "avs_get_frame", f.get_frame, missing);
  ok &= bind(library, "avs_new_video_frame_p", f.new_video_frame_p, missing);
  ok &= bind(library, "avs_release_video_frame", f.release_video_frame, missing);
  ok &= bind(library, "avs_get_pitch_p", f.get_pitch_p, missing);
  ok &= bind(library, "avs_get_read_ptr_p", f.get_read_ptr_p, missing);
  ok &= bind(library, "avs_get_write_ptr_p", f.get_write_ptr_p, missing);
  ok &= bind(library, "avs_save_string", f.save_string, missing);
  ok &= bind(library, "avs_get_env_property", f.get_env_property, missing);
  if (!ok) return nullptr;
  // Every call finds the same functions. The record is written once, before
  // the first function is registered, and only read afterwards (filters may
  // be running on other threads when a second environment loads the module).
  if (!g_functions.add_function) g_functions = f;
  return &g_functions;
}
