// SPDX-License-Identifier: BSD-2-Clause
#include "plugin_errors.h"

#include <cstdarg>
#include <cstdio>

int plugin_fail(zolta_error* error, int code, const char* format, ...) {
  if (error) {
    error->code = code;
    va_list args;
    va_start(args, format);
    std::vsnprintf(error->message, sizeof error->message, format, args);
    va_end(args);
  }
  return code;
}
