/* SPDX-License-Identifier: BSD-2-Clause */
// YUV4MPEG2 streams of planar YUV in every layout ffmpeg writes: chroma tags
// 420jpeg, 420paldv, 420mpeg2, 420, 422, 444, 411, mono and 444alpha, and the
// deeper ones (420p10, 422p16, mono12 ...: 9 to 16 bits, two bytes a sample,
// least significant first). Header and frame fields are kept for the output.
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
  std::string chroma = "420jpeg";  // the C field, without the 'C'

  // The layout the chroma tag means.
  int family = 0;      // zolta_family: GRAY, YUV444, YUV422, YUV420 or YUV411
  int bits = 8;        // 8 to 16
  bool alpha = false;  // a fourth plane (444alpha), passed through untouched
  int planes = 3;      // 1, 3 or 4
  int plane_width[4] = {0, 0, 0, 0};
  int plane_height[4] = {0, 0, 0, 0};
  size_t plane_offset[4] = {0, 0, 0, 0};  // in bytes, from the start of the frame data
  size_t frame_bytes = 0;                 // of the samples of one frame
};

// One frame: its planes back to back, as in the file; deeper samples in the
// machine's byte order.
struct Y4mFrame {
  std::string fields;  // parameters after "FRAME", kept for the output
  std::vector<uint8_t> data;
};

bool starts_y4m(ByteReader& reader);

// Reads and checks the stream header, and works out the frame layout.
bool read_y4m_header(ByteReader& reader, Y4mHeader& header, std::string& error);
// The layout for a chroma tag (and the header's width and height); false with
// a message for a tag that is not known.
bool y4m_layout(const std::string& chroma, Y4mHeader& header, std::string& error);

// End at the end of the stream, white space after the last frame included.
ReadResult read_y4m_frame(ByteReader& reader, const Y4mHeader& header, Y4mFrame& frame,
                          std::string& error);

bool write_y4m_header(std::FILE* file, const Y4mHeader& header);
bool write_y4m_frame(std::FILE* file, const Y4mHeader& header, const Y4mFrame& frame);

// Bytes of the header line and of a frame without parameters, as written.
size_t y4m_header_bytes(const Y4mHeader& header);
size_t y4m_frame_file_bytes(const Y4mHeader& header);

// Between the planar 8-bit 4:2:2 layout and YUY2 rows (Y0 U Y1 V) of width * 2
// bytes; pitch is the byte distance between YUY2 rows. The width must be even.
void planar422_to_yuy2(const uint8_t* planes, int width, int height, uint8_t* yuy2, int pitch);
void yuy2_to_planar422(const uint8_t* yuy2, int pitch, int width, int height, uint8_t* planes);
