/* SPDX-License-Identifier: BSD-2-Clause */
// The module's entry points and the filter callbacks VirtualDub calls for
// every instance of "quilmer (0.1)".
#pragma once

#include "vdub_interface.h"

#if defined(_WIN32)
#define ZOLTA_VDUB_EXPORT
#else
#define ZOLTA_VDUB_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
ZOLTA_VDUB_EXPORT int __cdecl VirtualdubFilterModuleInit2(FilterModule* module,
                                                          const FilterFunctions* functions,
                                                          int& vdfd_ver, int& vdfd_compat);
ZOLTA_VDUB_EXPORT void __cdecl VirtualdubFilterModuleDeinit(FilterModule* module,
                                                            const FilterFunctions* functions);
}

// Interface version the module is written for, and the oldest it works with.
constexpr int kFilterInterfaceVersion = 7;
constexpr int kFilterInterfaceCompatible = 4;

// Messages handed to the host's Except.
constexpr const char kIllegalWidth[] = "Illegal width size.";
constexpr const char kIllegalHeight[] = "Illegal height size.";
constexpr const char kNoPlaneBuffers[] =
    "quilmer: no plane buffers; processing was not started or ran out of memory.";
constexpr const char kNoFrameBuffers[] = "quilmer: the host gave no frame buffers.";

int __cdecl init_proc(FilterActivation* fa, const FilterFunctions* ff);
int __cdecl start_proc(FilterActivation* fa, const FilterFunctions* ff);
int __cdecl run_proc(const FilterActivation* fa, const FilterFunctions* ff);
int __cdecl end_proc(FilterActivation* fa, const FilterFunctions* ff);
int __cdecl config_proc(FilterActivation* fa, const FilterFunctions* ff, HWND parent);

// The message run_proc refuses a frame of this size with, or null when the
// size can be processed (both positive multiples of 8; width is checked first).
const char* frame_size_error(int32_t width, int32_t height);
