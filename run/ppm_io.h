/* SPDX-License-Identifier: BSD-2-Clause */
// Binary PPM (P6, RGB) and PGM (P5, grey) with any maximum value up to 65535
// (two bytes a sample, most significant first, above 255): one picture or
// any number of pictures one after another, as image pipes carry them.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "picture.h"

enum class ReadResult { Frame, End, Error };

// True when the next bytes of the stream are "P6" or "P5".
bool starts_ppm(ByteReader& reader);

// Reads the next picture. End when the stream holds nothing more than white
// space; Error, with a message, on a malformed or truncated picture.
ReadResult read_ppm(ByteReader& reader, Picture& picture, std::string& error);

// Writes P5 for a grey picture read from PGM, else P6, with the picture's
// maximum value. Grey pictures not from PGM and alpha cannot be written.
bool write_ppm(std::FILE* file, const Picture& picture);

// Bytes of one picture in the file, header included, as write_ppm writes it.
size_t ppm_file_bytes(const Picture& picture);
