// SPDX-License-Identifier: BSD-2-Clause
// A library that exports AviSynth+'s registration function and nothing else
// of the host's, under a name that is no AviSynth+ soname: what a plugin
// meets in a host build that lacks functions it needs. The registration
// refuses every call; a plugin should never get as far as making one.
#include <cstdio>

extern "C" __attribute__((visibility("default"))) int avs_add_function(void*, const char* name,
                                                                       const char*, void*, void*) {
  std::fprintf(stderr, "the incomplete host was asked to register %s\n", name ? name : "(null)");
  return -1;
}
