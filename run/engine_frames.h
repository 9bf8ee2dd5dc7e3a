// How the frames of each file format meet the engine: the stream description
// (family, depth, size) and the plane pointers of one frame.
//   - YUV4MPEG2: the planes as read, in place.
//   - Grey pictures and 8-bit RGB: the picture's own samples, in place.
//   - Everything else (alpha beside the colours, 16-bit RGB): the colour
//     samples are copied into planes of their own and back; alpha is never
//     touched.
#pragma once

#include <string>
#include <vector>

#include "picture.h"
#include "y4m_io.h"
#include "zolta.h"

void bind_y4m(const Y4mHeader& header, Y4mFrame& frame, zolta_stream& stream,
              zolta_frame& planes);

// False with a message for a maximum value the engine has no depth for.
bool bind_picture(Picture& picture, std::vector<uint8_t>& planar, zolta_stream& stream,
                  zolta_frame& planes, std::string& error);
// Puts planes that bind_picture copied out back into the picture.
void unbind_picture(Picture& picture, const std::vector<uint8_t>& planar,
                    const zolta_stream& stream);

bool same_stream(const zolta_stream& a, const zolta_stream& b);
