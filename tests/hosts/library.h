/* SPDX-License-Identifier: BSD-2-Clause */
// Loading the built zolta library at run time and finding its three entry
// points, the way VirtualDub and AviSynth do: dlopen natively, LoadLibrary on
// Windows. Used by zolta-run and by the Windows test program.
#pragma once

#include <string>

// The entries are handed out untyped; each host casts them to the signature
// it declares for them.
using LibraryEntry = void (*)();

struct LoadedLibrary {
  void* handle = nullptr;
  LibraryEntry vdub_init = nullptr;    // VirtualdubFilterModuleInit2
  LibraryEntry vdub_deinit = nullptr;  // VirtualdubFilterModuleDeinit
  LibraryEntry avs_init = nullptr;     // the AviSynth plugin entry
};

// Exported name of the AviSynth entry on this platform: the stdcall-decorated
// "_AvisynthPluginInit@4" on Windows, the plain name elsewhere.
const char* avs_entry_name();

// File name of the library as the build writes it: "zolta.vdf" on Windows,
// "libzolta_legacy.so" elsewhere (the tests' native library of the two legacy
// faces).
const char* library_file_name();

// Directory holding the running executable, with a trailing separator; empty
// when the platform cannot tell.
std::string executable_directory();

// Loads the library at path and looks up all three entries. On failure
// returns false, leaves nothing loaded and puts one line into error.
bool load_library(const std::string& path, LoadedLibrary& library, std::string& error);

// Unloads a library loaded by load_library; harmless on an empty record.
void unload_library(LoadedLibrary& library);
