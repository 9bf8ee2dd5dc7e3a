#include "y4m_io.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "picture.h"

namespace {

constexpr size_t kMaxLine = 4096;
constexpr int kMaxSide = 16384;
const char kMagic[] = "YUV4MPEG2";

bool parse_side(const std::string& text, int& value) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::atoi(text.c_str());
  return value > 0 && value <= kMaxSide;
}

bool parse_rate(const std::string& text, unsigned& numerator, unsigned& denominator) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  const unsigned long n = std::strtoul(text.c_str(), &end, 10);
  if (end != text.c_str() + colon) return false;
  const unsigned long d = std::strtoul(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || n == 0 || d == 0 || n > 0xffffffffUL || d > 0xffffffffUL) return false;
  numerator = static_cast<unsigned>(n);
  denominator = static_cast<unsigned>(d);
  return true;
}

}  // namespace

bool starts_y4m(ByteReader& reader) {
  return reader_fill(reader, 10) == 10 &&
         std::memcmp(reader.buffer + reader.begin, "YUV4MPEG2 ", 10) == 0;
}

bool read_y4m_header(ByteReader& reader, Y4mHeader& header, std::string& error) {
  std::string line;
  if (!reader_line(reader, line, kMaxLine) || line.compare(0, 9, kMagic) != 0) {
    error = "bad YUV4MPEG2 input: malformed stream header";
    return false;
  }
  header = Y4mHeader();
  header.fields = line.substr(9);
  std::string chroma = "420jpeg";  // the format's default when no C field is given
  bool have_width = false, have_height = false;
  std::istringstream words(header.fields);
  std::string word;
  while (words >> word) {
    const std::string value = word.substr(1);
    switch (word[0]) {
      case 'W':
        have_width = parse_side(value, header.width);
        if (!have_width) error = "bad YUV4MPEG2 header: width \"" + value + "\"";
        break;
      case 'H':
        have_height = parse_side(value, header.height);
        if (!have_height) error = "bad YUV4MPEG2 header: height \"" + value + "\"";
        break;
      case 'F':
        if (!parse_rate(value, header.fps_numerator, header.fps_denominator))
          error = "bad YUV4MPEG2 header: frame rate \"" + value + "\"";
        break;
      case 'C':
        chroma = value;
        break;
      default:
        break;  // interlacing, aspect and extensions pass through untouched
    }
    if (!error.empty()) return false;
  }
  if (!have_width || !have_height) {
    error = "bad YUV4MPEG2 header: width or height missing";
    return false;
  }
  if (!picture_size_allowed(header.width, header.height)) {
    error = "YUV4MPEG2 frames too large: " + std::to_string(header.width) + " x " +
            std::to_string(header.height);
    return false;
  }
  if (chroma != "422") {
    error = "unsupported YUV4MPEG2 chroma \"C" + chroma +
            "\": only C422 (4:2:2, 8-bit) is accepted, e.g. ffmpeg -pix_fmt yuv422p";
    return false;
  }
  if (header.width % 2 != 0) {
    error = "bad YUV4MPEG2 header: a 4:2:2 width must be even";
    return false;
  }
  return true;
}

size_t y4m_frame_bytes(const Y4mHeader& header) {
  return static_cast<size_t>(header.width) * header.height * 2;
}

ReadResult read_y4m_frame(ByteReader& reader, const Y4mHeader& header, Y4mFrame& frame,
                          std::string& error) {
  if (reader_done(reader)) return ReadResult::End;
  std::string line;
  if (!reader_line(reader, line, kMaxLine) || line.compare(0, 5, "FRAME") != 0 ||
      (line.size() > 5 && line[5] != ' ')) {
    error = "bad YUV4MPEG2 input: expected a FRAME line";
    return ReadResult::Error;
  }
  frame.fields = line.substr(5);
  const size_t bytes = y4m_frame_bytes(header);
  frame.planes.resize(bytes);
  if (reader_read(reader, frame.planes.data(), bytes) != bytes) {
    error = "truncated YUV4MPEG2 input: the frame data ends early";
    return ReadResult::Error;
  }
  return ReadResult::Frame;
}

bool write_y4m_header(std::FILE* file, const Y4mHeader& header) {
  return std::fprintf(file, "%s%s\n", kMagic, header.fields.c_str()) > 0;
}

bool write_y4m_frame(std::FILE* file, const Y4mFrame& frame) {
  if (std::fprintf(file, "FRAME%s\n", frame.fields.c_str()) < 0) return false;
  return std::fwrite(frame.planes.data(), 1, frame.planes.size(), file) == frame.planes.size();
}

void planar422_to_yuy2(const uint8_t* planes, int width, int height, uint8_t* yuy2, int pitch) {
  const int half = width / 2;
  const uint8_t* y_plane = planes;
  const uint8_t* u_plane = y_plane + static_cast<size_t>(width) * height;
  const uint8_t* v_plane = u_plane + static_cast<size_t>(half) * height;
  for (int row = 0; row < height; ++row) {
    const uint8_t* y = y_plane + static_cast<size_t>(row) * width;
    const uint8_t* u = u_plane + static_cast<size_t>(row) * half;
    const uint8_t* v = v_plane + static_cast<size_t>(row) * half;
    uint8_t* out = yuy2 + static_cast<ptrdiff_t>(row) * pitch;
    for (int i = 0; i < half; ++i) {
      out[4 * i] = y[2 * i];
      out[4 * i + 1] = u[i];
      out[4 * i + 2] = y[2 * i + 1];
      out[4 * i + 3] = v[i];
    }
  }
}

void yuy2_to_planar422(const uint8_t* yuy2, int pitch, int width, int height, uint8_t* planes) {
  const int half = width / 2;
  uint8_t* y_plane = planes;
  uint8_t* u_plane = y_plane + static_cast<size_t>(width) * height;
  uint8_t* v_plane = u_plane + static_cast<size_t>(half) * height;
  for (int row = 0; row < height; ++row) {
    uint8_t* y = y_plane + static_cast<size_t>(row) * width;
    uint8_t* u = u_plane + static_cast<size_t>(row) * half;
    uint8_t* v = v_plane + static_cast<size_t>(row) * half;
    const uint8_t* in = yuy2 + static_cast<ptrdiff_t>(row) * pitch;
    for (int i = 0; i < half; ++i) {
      y[2 * i] = in[4 * i];
      u[i] = in[4 * i + 1];
      y[2 * i + 1] = in[4 * i + 2];
      v[i] = in[4 * i + 3];
    }
  }
}
