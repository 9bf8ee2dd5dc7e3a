// SPDX-License-Identifier: BSD-2-Clause
#include "frame_formats.h"

std::string frame_label(const FrameFormat& format, long index) {
  return std::string(format.unit()) + " " + std::to_string(index + 1);
}

std::unique_ptr<FrameFormat> open_format(ByteReader& input, std::string& error) {
  if (starts_y4m(input)) {
    Y4mHeader header;
    if (!read_y4m_header(input, header, error)) return nullptr;
    return std::make_unique<Y4mFormat>(header);
  }
  if (starts_png(input)) return std::make_unique<PngFormat>();
  if (starts_ppm(input)) return std::make_unique<PpmFormat>();
  error = input.failed         ? "cannot read the input"
          : reader_done(input) ? "the input is empty"
                               : "unrecognised input: expected YUV4MPEG2, PNG or binary "
                                 "PPM/PGM (P6/P5)";
  return nullptr;
}
