// SPDX-License-Identifier: BSD-2-Clause
#include "ppm_io.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Skips white space and comments ('#' to the end of the line).
void skip_blanks(ByteReader& reader) {
  for (;;) {
    const int c = reader_peek(reader);
    if (c == '#') {
      int d;
      do d = reader_get(reader);
      while (d >= 0 && d != '\n' && d != '\r');
    } else if (c >= 0 && std::isspace(c)) {
      reader_get(reader);
    } else {
      return;
    }
  }
}

// A decimal header field, 1..limit.
bool read_field(ByteReader& reader, long limit, long& value) {
  skip_blanks(reader);
  value = 0;
  int digits = 0;
  while (reader_peek(reader) >= '0' && reader_peek(reader) <= '9') {
    value = value * 10 + (reader_get(reader) - '0');
    if (value > limit) return false;
    ++digits;
  }
  return digits > 0 && value > 0;
}

std::string header_text(const Picture& picture) {
  return std::string(picture.pgm ? "P5\n" : "P6\n") + std::to_string(picture.width) + " " +
         std::to_string(picture.height) + "\n" + std::to_string(picture.maxval) + "\n";
}

}  // namespace

bool starts_ppm(ByteReader& reader) {
  return reader_fill(reader, 2) == 2 && reader.buffer[reader.begin] == 'P' &&
         (reader.buffer[reader.begin + 1] == '6' || reader.buffer[reader.begin + 1] == '5');
}

ReadResult read_ppm(ByteReader& reader, Picture& picture, std::string& error) {
  while (reader_peek(reader) >= 0 && std::isspace(reader_peek(reader))) reader_get(reader);
  if (reader_done(reader)) return ReadResult::End;
  if (!starts_ppm(reader)) {
    error = "bad PPM input: expected \"P6\" or \"P5\" at the start of a picture";
    return ReadResult::Error;
  }
  reader_get(reader);
  const bool pgm = reader_get(reader) == '5';
  long width, height, maxval;
  if (!read_field(reader, kMaxPictureSide, width) || !read_field(reader, kMaxPictureSide, height)) {
    error = "bad PPM header: width and height must be 1.." + std::to_string(kMaxPictureSide);
    return ReadResult::Error;
  }
  if (!picture_size_allowed(width, height)) {
    error = "PPM picture too large: " + std::to_string(width) + " x " + std::to_string(height);
    return ReadResult::Error;
  }
  if (!read_field(reader, 65535, maxval)) {
    error = "bad PPM header: the maximum value must be 1..65535";
    return ReadResult::Error;
  }
  const int separator = reader_get(reader);
  if (separator < 0 || !std::isspace(separator)) {
    error = "bad PPM header: no white space before the pixel data";
    return ReadResult::Error;
  }
  picture = Picture();
  picture.pgm = pgm;
  shape_picture(picture, static_cast<int>(width), static_cast<int>(height), pgm ? 1 : 3,
                static_cast<int>(maxval));
  const size_t bytes = picture.samples.size();
  if (reader_read(reader, picture.samples.data(), bytes) != bytes) {
    error = "truncated PPM input: the picture data ends early";
    return ReadResult::Error;
  }
  if (picture_wide(picture) && little_endian_host()) {
    swap_bytes16(picture.samples.data(), bytes / 2);
  }
  return ReadResult::Frame;
}

bool write_ppm(std::FILE* file, const Picture& picture) {
  if (picture.channels != (picture.pgm ? 1 : 3)) return false;
  const std::string header = header_text(picture);
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) return false;
  if (!picture_wide(picture) || !little_endian_host()) {
    return std::fwrite(picture.samples.data(), 1, picture.samples.size(), file) ==
           picture.samples.size();
  }
  // Most significant byte first, in pieces so that no second picture is held.
  std::vector<uint8_t> piece(1 << 16);
  for (size_t at = 0; at < picture.samples.size(); at += piece.size()) {
    const size_t n = std::min(piece.size(), picture.samples.size() - at);
    std::copy_n(picture.samples.data() + at, n, piece.data());
    swap_bytes16(piece.data(), n / 2);
    if (std::fwrite(piece.data(), 1, n, file) != n) return false;
  }
  return true;
}

size_t ppm_file_bytes(const Picture& picture) {
  return header_text(picture).size() + picture_bytes(picture);
}
