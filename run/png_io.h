/* SPDX-License-Identifier: BSD-2-Clause */
// PNG pictures through libpng: grey, grey + alpha, RGB and RGBA of 8 or 16
// bits are read as they are; palettes become RGB (RGBA with transparency)
// and grey of 1, 2 or 4 bits becomes 8-bit grey. A picture is written in the
// layout and depth it holds.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "picture.h"
#include "ppm_io.h"  // ReadResult

// The most that one ancillary chunk (text, profile, unknown), or the
// decompressed text of one, may take, and how many of them are kept.
constexpr size_t kMaxPngChunkBytes = 4 << 20;
constexpr unsigned kMaxPngChunksKept = 100;

// True when the next bytes of the stream are the PNG signature.
bool starts_png(ByteReader& reader);

// Reads one PNG picture and nothing after it. On failure returns false with
// a one-line message.
bool read_png(ByteReader& reader, Picture& picture, std::string& error);

// Reads the one PNG picture of the file at path ("PATH is not a PNG
// picture" when it holds none).
bool read_png_file(const std::string& path, Picture& picture, std::string& error);

// The next picture of a PNG stream: End when no byte is left, Error with a
// message on a bad picture or on bytes that do not start another one.
ReadResult read_png_frame(ByteReader& reader, Picture& picture, std::string& error);

// Writes the picture to an open file. On failure returns false with a message.
bool write_png(std::FILE* file, const Picture& picture, std::string& error);
