/* SPDX-License-Identifier: BSD-2-Clause */
// How the frames of each file format meet the engine: the stream description
// (family, depth, size) and the plane pointers of one frame.
//   - YUV4MPEG2: the planes as read, in place.
//   - Pictures: the picture's own samples, in place; colours beside alpha and
//     16-bit RGB as planes interleaved in the picture (the frame's pixel
//     step), so that alpha is never touched.
#pragma once

#include <string>
#include <vector>

#include "picture.h"
#include "y4m_io.h"
#include "zolta.h"

void bind_y4m(const Y4mHeader& header, Y4mFrame& frame, zolta_stream& stream, zolta_frame& planes);

// False with a message for a maximum value the engine has no depth for.
bool bind_picture(Picture& picture, zolta_stream& stream, zolta_frame& planes, std::string& error);

bool same_stream(const zolta_stream& a, const zolta_stream& b);
