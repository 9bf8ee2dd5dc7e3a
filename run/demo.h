/* SPDX-License-Identifier: BSD-2-Clause */
// The demo: noise on the bundled photograph, denoised through the library
// with the settings its table gives for that noise, PSNR before and after.
#pragma once

#include "options.h"

// Returns the process exit status.
int run_demo(const RunOptions& options);
