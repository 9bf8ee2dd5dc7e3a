/* SPDX-License-Identifier: BSD-2-Clause */
// Opening a plugin library and finding one of its exports, as a host does:
// dlopen(path, RTLD_LAZY) natively (local scope), LoadLibrary on Windows.
#pragma once

#include <string>

struct PluginModule {
  void* handle = nullptr;
};

// On failure returns false and puts one line into error.
bool open_plugin_module(const std::string& path, PluginModule& module, std::string& error);
// The first of the names that the module exports, or null.
void (*find_plugin_export(const PluginModule& module, const char* const* names, int count,
                          std::string* found))();
void close_plugin_module(PluginModule& module);

// The plugin built beside the running program: zolta_plugin.dll or
// libzolta_plugin.so in the executable's directory.
std::string plugin_path_beside_executable();
// The same, one directory up (for test programs that sit beside a stand-in
// host library in a folder of their own).
std::string plugin_path_above_executable();
