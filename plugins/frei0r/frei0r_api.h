/* SPDX-License-Identifier: BSD-2-Clause */
// Debian's frei0r.h, whose functions have C linkage (the header itself does
// not say so).
#pragma once

extern "C" {
#include <frei0r.h>
}
