// PNG pictures through libpng. Every colour type and bit depth is read as
// 8-bit RGB (alpha dropped); pictures are written as 8-bit RGB. A stream may
// hold several pictures one after another (as ffmpeg's image2pipe writes
// them); each is a frame. Ancillary chunks are held to a few megabytes, so
// the picture itself is the only large allocation.
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

// Reads one PNG picture. On failure returns false with a one-line message.
bool read_png(ByteReader& reader, RgbPicture& picture, std::string& error);

// The next picture of a PNG stream: End when no byte is left, Error with a
// message on a bad picture or on bytes that do not start another one.
ReadResult read_png_frame(ByteReader& reader, RgbPicture& picture, std::string& error);

// Writes the picture to an open file. On failure returns false with a message.
bool write_png(std::FILE* file, const RgbPicture& picture, std::string& error);
