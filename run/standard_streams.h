/* SPDX-License-Identifier: BSD-2-Clause */
// Standard input, output and error as the process found them. A descriptor
// that was closed at start (`zolta-run - out.ppm <&-`) is opened on /dev/null
// so that no file opened later takes its number, and is remembered as closed
// so that "-" can say so instead of reading or writing the wrong file.
#pragma once

// Call once, first thing in main.
void guard_standard_streams();
// fd is 0, 1 or 2.
bool standard_stream_closed(int fd);
