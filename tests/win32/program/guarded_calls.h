/* SPDX-License-Identifier: BSD-2-Clause */
// Calling into the library when the call may end in the host's error
// function, inside a Win32 process.
//
// Both hosts raise their errors by not returning from the error function
// (VirtualDub's Except, AviSynth's ThrowError). The stand-ins do that with a
// C++ throw, which works natively. In the 32-bit Windows build it cannot: the
// library and this program each link their own static copy of the GNU runtime
// (DWARF-2 unwinding on i686), each copy knows only its own module's unwind
// tables, and a throw that has to pass through the library's frames ends in
// std::terminate. So here the error functions record the message and
// longjmp back to the point just before the call into the library. The
// library holds nothing when it calls the error function, which is what makes
// skipping its frames safe; the checks confirm that nothing leaks.
#pragma once

#include <csetjmp>
#include <string>

#include "avs_host.h"

// An AviSynth environment whose ThrowError lands in the innermost guarded
// call; outside one it throws like the stand-in does.
class GuardedEnvironment : public standin_avs::AvsEnvironment {
 public:
  void STANDIN_AVS_CDECL ThrowError(const char* fmt, ...) override;

  std::jmp_buf* landing = nullptr;
  std::string last_error;
  int error_count = 0;
};

// Runs a registered function as the interpreter does. Returns true with the
// result, or false with the message the library raised.
bool guarded_apply(GuardedEnvironment& env, const standin_avs::RegisteredFunction& function,
                   const standin_avs::AVSValue* args, int count, standin_avs::AVSValue& result,
                   std::string& error);
