// SPDX-License-Identifier: BSD-2-Clause
#include "library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

void* open_module(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
  }
  return reinterpret_cast<void*>(module);
}

LibraryEntry find_entry(void* handle, const char* name) {
  return reinterpret_cast<LibraryEntry>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void close_module(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}

#else

void* open_module(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : ("cannot load " + path);
  }
  return handle;
}

LibraryEntry find_entry(void* handle, const char* name) {
  return reinterpret_cast<LibraryEntry>(dlsym(handle, name));
}

void close_module(void* handle) {
  dlclose(handle);
}

#endif

}  // namespace

const char* avs_entry_name() {
#ifdef _WIN32
  return "_AvisynthPluginInit@4";
#else
  return "AvisynthPluginInit";
#endif
}

const char* library_file_name() {
#ifdef _WIN32
  return "zolta.vdf";
#else
  return "libzolta_legacy.so";
#endif
}

std::string executable_directory() {
  std::string path;
#ifdef _WIN32
  char buffer[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  path.assign(buffer, n);
  const size_t cut = path.find_last_of("\\/");
#else
  char buffer[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return std::string();
  path.assign(buffer, static_cast<size_t>(n));
  const size_t cut = path.find_last_of('/');
#endif
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut + 1);
}

bool load_library(const std::string& path, LoadedLibrary& library, std::string& error) {
  library = LoadedLibrary();
  void* handle = open_module(path, error);
  if (!handle) return false;
  LoadedLibrary found;
  found.handle = handle;
  found.vdub_init = find_entry(handle, "VirtualdubFilterModuleInit2");
  found.vdub_deinit = find_entry(handle, "VirtualdubFilterModuleDeinit");
  found.avs_init = find_entry(handle, avs_entry_name());
  const char* missing = !found.vdub_init     ? "VirtualdubFilterModuleInit2"
                        : !found.vdub_deinit ? "VirtualdubFilterModuleDeinit"
                        : !found.avs_init    ? avs_entry_name()
                                             : nullptr;
  if (missing) {
    close_module(handle);
    error = path + " does not export " + missing;
    return false;
  }
  library = found;
  return true;
}

void unload_library(LoadedLibrary& library) {
  if (library.handle) close_module(library.handle);
  library = LoadedLibrary();
}
