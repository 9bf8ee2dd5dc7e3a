// SPDX-License-Identifier: BSD-2-Clause
#include "errors.h"

#include <cstdarg>
#include <cstdio>

namespace zolta {

int fail(zolta_error* error, int code, const char* format, ...) {
  if (error) {
    error->code = code;
    va_list args;
    va_start(args, format);
    std::vsnprintf(error->message, sizeof error->message, format, args);
    va_end(args);
    // One line: a newline that came in through a name ends the message there.
    for (char* p = error->message; *p; ++p) {
      if (*p == '\n' || *p == '\r') *p = ' ';
    }
  }
  return code;
}

int succeed(zolta_error* error) {
  if (error) {
    error->code = ZOLTA_OK;
    error->message[0] = '\0';
  }
  return ZOLTA_OK;
}

}  // namespace zolta
