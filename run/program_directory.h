/* SPDX-License-Identifier: BSD-2-Clause */
// Where the running program lives (the demo writes beside it by default).
#pragma once

#include <string>

// Directory holding the running executable, with a trailing '/'; empty when
// the system cannot tell.
std::string program_directory();
