// SPDX-License-Identifier: BSD-2-Clause
#include "guarded_calls.h"

#include <cstdarg>
#include <cstdio>

using namespace standin_avs;

void STANDIN_AVS_CDECL GuardedEnvironment::ThrowError(const char* fmt, ...) {
  char text[2048];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt ? fmt : "", args);
  va_end(args);
  last_error = text;
  ++error_count;
  if (landing) std::longjmp(*landing, 1);
  throw AvsError(last_error);
}

bool guarded_apply(GuardedEnvironment& env, const RegisteredFunction& function,
                   const AVSValue* args, int count, AVSValue& result, std::string& error) {
  std::jmp_buf landing;
  std::jmp_buf* const outer = env.landing;
  env.landing = &landing;
  if (setjmp(landing) == 0) {
    // The array value handed over owns no references, so nothing is lost
    // when the call does not come back.
    result = function.apply(AVSValue(args, count), function.user_data, &env);
    env.landing = outer;
    return true;
  }
  env.landing = outer;
  error = env.last_error;
  return false;
}
