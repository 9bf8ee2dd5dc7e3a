/* SPDX-License-Identifier: BSD-2-Clause */
// What the checks of the Windows test program share: where the library and
// the inputs prepared by the native build are, and the loaded library.
#pragma once

#include <string>

#include "library.h"

struct TestContext {
  std::string library_path;  // zolta.vdf
  std::string digests_path;  // digests written by the native build, may be empty
  std::string picture_path;  // raw photograph written by the native build, may be empty
  std::string output_dir;    // where the screenshot goes
  std::string def_path;      // the export list the library was linked with, may be empty
  LoadedLibrary library;     // loaded once by main, before any group runs
  std::string load_error;
};

TestContext& test_context();
