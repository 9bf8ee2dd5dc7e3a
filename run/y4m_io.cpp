// SPDX-License-Identifier: BSD-2-Clause
#include "y4m_io.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "picture.h"
#include "zolta.h"

namespace {

constexpr size_t kMaxLine = 4096;
const char kMagic[] = "YUV4MPEG2";

bool parse_side(const std::string& text, int& value) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::atoi(text.c_str());
  return value > 0 && value <= kMaxPictureSide;
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

// "10" of "420p10" or "mono10": a depth of 9 to 16 bits.
bool parse_depth(const std::string& text, int& bits) {
  if (text.empty() || text.size() > 2 || !std::isdigit(static_cast<unsigned char>(text[0])) ||
      !std::isdigit(static_cast<unsigned char>(text.back())))
    return false;
  bits = std::atoi(text.c_str());
  return bits >= 9 && bits <= 16;
}

int ceil_shift(int value, int shift) {
  return -((-value) >> shift);
}

}  // namespace

bool y4m_layout(const std::string& chroma, Y4mHeader& header, std::string& error) {
  int shift_x = 0, shift_y = 0, bits = 8;
  bool alpha = false, gray = false;
  std::string base = chroma, depth;
  if (chroma.compare(0, 4, "mono") == 0) {
    base = "mono";
    depth = chroma.substr(4);
  } else if (chroma.size() > 4 && chroma[3] == 'p' &&
             std::isdigit(static_cast<unsigned char>(chroma[4]))) {
    base = chroma.substr(0, 3);
    depth = chroma.substr(4);
    if (base == "411") base = "?";  // no deep 4:1:1 in the format
  }
  if (!depth.empty() && !parse_depth(depth, bits)) base = "?";
  if (base == "420jpeg" || base == "420paldv" || base == "420mpeg2" || base == "420") {
    if (!depth.empty() && base != "420") base = "?";
    header.family = ZOLTA_FAMILY_YUV420;
    shift_x = shift_y = 1;
  } else if (base == "422") {
    header.family = ZOLTA_FAMILY_YUV422;
    shift_x = 1;
  } else if (base == "444" || base == "444alpha") {
    header.family = ZOLTA_FAMILY_YUV444;
    alpha = base == "444alpha";
  } else if (base == "411") {
    header.family = ZOLTA_FAMILY_YUV411;
    shift_x = 2;
  } else if (base == "mono") {
    header.family = ZOLTA_FAMILY_GRAY;
    gray = true;
  } else {
    base = "?";
  }
  if (base == "?") {
    error = "unsupported YUV4MPEG2 chroma \"C" + chroma +
            "\": expected 420jpeg, 420paldv, 420mpeg2, 420, 422, 444, 444alpha, 411 or mono, "
            "or a deeper 420, 422, 444 or mono such as 420p10 or mono16";
    return false;
  }
  header.chroma = chroma;
  header.bits = bits;
  header.alpha = alpha;
  header.planes = gray ? 1 : alpha ? 4 : 3;
  const size_t sample = bits > 8 ? 2 : 1;
  size_t offset = 0;
  for (int i = 0; i < 4; ++i) {
    const bool chroma_plane = i == 1 || i == 2;
    header.plane_width[i] =
        i < header.planes ? ceil_shift(header.width, chroma_plane ? shift_x : 0) : 0;
    header.plane_height[i] =
        i < header.planes ? ceil_shift(header.height, chroma_plane ? shift_y : 0) : 0;
    header.plane_offset[i] = offset;
    offset += static_cast<size_t>(header.plane_width[i]) * header.plane_height[i] * sample;
  }
  header.frame_bytes = offset;
  return true;
}

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
  return y4m_layout(chroma, header, error);
}

ReadResult read_y4m_frame(ByteReader& reader, const Y4mHeader& header, Y4mFrame& frame,
                          std::string& error) {
  // White space after the last frame ends the stream as well.
  while (reader_peek(reader) >= 0 && std::isspace(reader_peek(reader))) reader_get(reader);
  if (reader_done(reader)) return ReadResult::End;
  std::string line;
  if (!reader_line(reader, line, kMaxLine) || line.compare(0, 5, "FRAME") != 0 ||
      (line.size() > 5 && line[5] != ' ')) {
    error = "bad YUV4MPEG2 input: expected a FRAME line";
    return ReadResult::Error;
  }
  frame.fields = line.substr(5);
  frame.data.resize(header.frame_bytes);
  if (reader_read(reader, frame.data.data(), header.frame_bytes) != header.frame_bytes) {
    error = "truncated YUV4MPEG2 input: the frame data ends early";
    return ReadResult::Error;
  }
  if (header.bits > 8 && !little_endian_host()) {
    swap_bytes16(frame.data.data(), header.frame_bytes / 2);
  }
  return ReadResult::Frame;
}

bool write_y4m_header(std::FILE* file, const Y4mHeader& header) {
  return std::fprintf(file, "%s%s\n", kMagic, header.fields.c_str()) > 0;
}

bool write_y4m_frame(std::FILE* file, const Y4mHeader& header, const Y4mFrame& frame) {
  if (std::fprintf(file, "FRAME%s\n", frame.fields.c_str()) < 0) return false;
  if (header.bits > 8 && !little_endian_host()) {
    std::vector<uint8_t> swapped(frame.data);
    swap_bytes16(swapped.data(), swapped.size() / 2);
    return std::fwrite(swapped.data(), 1, swapped.size(), file) == swapped.size();
  }
  return std::fwrite(frame.data.data(), 1, frame.data.size(), file) == frame.data.size();
}

size_t y4m_header_bytes(const Y4mHeader& header) {
  return sizeof kMagic - 1 + header.fields.size() + 1;
}

size_t y4m_frame_file_bytes(const Y4mHeader& header) {
  return 6 + header.frame_bytes;
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
