// PNG pictures through libpng: grey, grey + alpha, RGB and RGBA of 8 or 16
// bits are read as they are; palettes become RGB (RGBA with transparency)
// and grey of 1, 2 or 4 bits becomes 8-bit grey. A picture is written in the
// layout and depth it holds.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "picture.h"

// True when the next bytes of the stream are the PNG signature.
bool starts_png(ByteReader& reader);

// Reads one PNG picture and nothing after it. On failure returns false with
// a one-line message.
bool read_png(ByteReader& reader, Picture& picture, std::string& error);

// Writes the picture to an open file. On failure returns false with a message.
bool write_png(std::FILE* file, const Picture& picture, std::string& error);
