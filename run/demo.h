// The demo: noise on the bundled photograph, denoised through the library's
// VirtualDub filter, PSNR before and after.
#pragma once

#include "library.h"
#include "options.h"
#include "settings.h"

// Settings for sigma-10 noise on the photograph (the best of the benchmark's
// grid); also the README's starting point for medium noise.
extern const ConfigValues kDemoSettings;

// Returns the process exit status.
int run_demo(const LoadedLibrary& library, const RunOptions& options);
