// SPDX-License-Identifier: BSD-2-Clause
// The Windows test program: GoogleTest tests that load zolta.vdf the way
// VirtualDub and AviSynth do and drive it through the host stand-ins, inside
// a Win32 process. ctest runs each test through wine, the cross-compiling
// emulator of the Windows build (scripts/wine-run.sh).
//   zolta-win32-tests [GoogleTest flags] [--library zolta.vdf] [--digests FILE]
//                     [--picture FILE] [--def zolta.def] [--out DIR]
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "test_context.h"

TestContext& test_context() {
  static TestContext context;
  return context;
}

namespace {

// A fault inside the library must end the run with a message, not wait for
// a debugger that nobody will attach.
LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
  std::printf("CRASH: exception 0x%08lx at %p\n",
              static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
              info->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  ExitProcess(3);
}

}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(report_crash);
  setvbuf(stdout, nullptr, _IONBF, 0);
  testing::InitGoogleTest(&argc, argv);

  TestContext& context = test_context();
  context.library_path = executable_directory() + library_file_name();
  context.output_dir = ".";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--library" && has_value) {
      context.library_path = argv[++i];
    } else if (arg == "--digests" && has_value) {
      context.digests_path = argv[++i];
    } else if (arg == "--picture" && has_value) {
      context.picture_path = argv[++i];
    } else if (arg == "--def" && has_value) {
      context.def_path = argv[++i];
    } else if (arg == "--out" && has_value) {
      context.output_dir = argv[++i];
    } else {
      std::printf("zolta-win32-tests: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }

  if (!load_library(context.library_path, context.library, context.load_error)) {
    std::printf("cannot load %s: %s\n", context.library_path.c_str(), context.load_error.c_str());
  }
  const int result = RUN_ALL_TESTS();
  unload_library(context.library);
  return result;
}
