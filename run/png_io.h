// PNG pictures through libpng. Every colour type and bit depth is read as
// 8-bit RGB (alpha dropped); pictures are written as 8-bit RGB.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "picture.h"

// True when the next bytes of the stream are the PNG signature.
bool starts_png(ByteReader& reader);

// Reads one PNG picture. On failure returns false with a one-line message.
bool read_png(ByteReader& reader, RgbPicture& picture, std::string& error);

// Writes the picture to an open file. On failure returns false with a message.
bool write_png(std::FILE* file, const RgbPicture& picture, std::string& error);
