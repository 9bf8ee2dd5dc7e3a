// Binary PPM (P6) with a maximum value of 255: one picture or any number of
// pictures one after another, as image pipes carry them.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "picture.h"

enum class ReadResult { Frame, End, Error };

// True when the next bytes of the stream are "P6".
bool starts_ppm(ByteReader& reader);

// Reads the next picture. End when the stream holds nothing more than white
// space; Error, with a message, on a malformed or truncated picture.
ReadResult read_ppm(ByteReader& reader, RgbPicture& picture, std::string& error);

bool write_ppm(std::FILE* file, const RgbPicture& picture);
