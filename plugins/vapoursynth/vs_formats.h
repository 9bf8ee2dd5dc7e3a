/* SPDX-License-Identifier: BSD-2-Clause */
// VapourSynth's clip formats, mapped to the engine's streams. A format the
// engine does not take is refused with a message that names it and says what
// is accepted; sizes are checked by the engine itself.
#pragma once

#include "vs_api.h"
#include "zolta.h"

// format_name: the host's name of the clip's format (VapourSynth's
// getVideoFormatName), or null when it has none.
int vs_stream_from_info(const VSVideoInfo& vi, const char* format_name, zolta_stream* stream,
                        zolta_error* error);
