/* SPDX-License-Identifier: BSD-2-Clause */
// The library's own module handle: the image its resources (the dialog
// template) are in. Kept when the platform loads the library; hosts that
// leave their module field null get the dialog from it.
#pragma once

#include "platform_types.h"

HINSTANCE library_module();
