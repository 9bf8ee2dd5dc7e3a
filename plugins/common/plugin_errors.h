/* SPDX-License-Identifier: BSD-2-Clause */
// The plugin's own refusals, in the engine's error record, so that both
// hosts report them exactly as they report the engine's.
#pragma once

#include "zolta.h"

// Fills `error` (when given) with `code` and the formatted one-line message;
// returns `code`.
int plugin_fail(zolta_error* error, int code, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
