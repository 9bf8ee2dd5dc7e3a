// YUV4MPEG2 streams with 8-bit 4:2:2 chroma ("C422"), and their conversion to
// and from the packed YUY2 rows (Y0 U Y1 V) AviSynth hands to filters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "ppm_io.h"  // ReadResult

struct Y4mHeader {
  std::string fields;  // everything after "YUV4MPEG2", kept for the output
  int width = 0;
  int height = 0;
  unsigned fps_numerator = 25;
  unsigned fps_denominator = 1;
};

// One frame: Y plane (width x height), then U and V planes (width/2 x height).
struct Y4mFrame {
  std::string fields;  // parameters after "FRAME", kept for the output
  std::vector<uint8_t> planes;
};

bool starts_y4m(ByteReader& reader);

// Reads and checks the stream header; refuses every chroma layout but C422.
bool read_y4m_header(ByteReader& reader, Y4mHeader& header, std::string& error);
ReadResult read_y4m_frame(ByteReader& reader, const Y4mHeader& header, Y4mFrame& frame,
                          std::string& error);

bool write_y4m_header(std::FILE* file, const Y4mHeader& header);
bool write_y4m_frame(std::FILE* file, const Y4mFrame& frame);

size_t y4m_frame_bytes(const Y4mHeader& header);

// Between the planar layout and YUY2 rows of width * 2 bytes; pitch is the
// byte distance between YUY2 rows. The width must be even.
void planar422_to_yuy2(const uint8_t* planes, int width, int height, uint8_t* yuy2, int pitch);
void yuy2_to_planar422(const uint8_t* yuy2, int pitch, int width, int height, uint8_t* planes);
