#include "ppm_io.h"

#include <cctype>

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

}  // namespace

bool starts_ppm(ByteReader& reader) {
  return reader_fill(reader, 2) == 2 && reader.buffer[reader.begin] == 'P' &&
         reader.buffer[reader.begin + 1] == '6';
}

ReadResult read_ppm(ByteReader& reader, RgbPicture& picture, std::string& error) {
  while (reader_peek(reader) >= 0 && std::isspace(reader_peek(reader))) reader_get(reader);
  if (reader_done(reader)) return ReadResult::End;
  if (!starts_ppm(reader)) {
    error = "bad PPM input: expected \"P6\" at the start of a picture";
    return ReadResult::Error;
  }
  reader_get(reader);
  reader_get(reader);
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
    error = "bad PPM header: missing or invalid maximum value";
    return ReadResult::Error;
  }
  if (maxval != 255) {
    error = "unsupported PPM: maximum value " + std::to_string(maxval) +
            "; only 8-bit PPM (maximum value 255) is accepted";
    return ReadResult::Error;
  }
  const int separator = reader_get(reader);
  if (separator < 0 || !std::isspace(separator)) {
    error = "bad PPM header: no white space before the pixel data";
    return ReadResult::Error;
  }
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  const size_t bytes = static_cast<size_t>(width) * height * 3;
  picture.rgb.resize(bytes);
  if (reader_read(reader, picture.rgb.data(), bytes) != bytes) {
    error = "truncated PPM input: the picture data ends early";
    return ReadResult::Error;
  }
  return ReadResult::Frame;
}

bool write_ppm(std::FILE* file, const RgbPicture& picture) {
  if (std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height) < 0) return false;
  return std::fwrite(picture.rgb.data(), 1, picture.rgb.size(), file) == picture.rgb.size();
}
