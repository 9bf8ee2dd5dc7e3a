/* SPDX-License-Identifier: BSD-2-Clause */
// Filling the public error record: a code and a one-line message.
#pragma once

#include "zolta.h"

namespace zolta {

// Writes code and message (printf-style) into *error when given; returns code.
int fail(zolta_error* error, int code, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
// Sets ZOLTA_OK and an empty message when given; returns ZOLTA_OK.
int succeed(zolta_error* error);

}  // namespace zolta
