// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to zolta-run's YUV4MPEG2 reader as a stream. It must
// never crash or read outside its buffers; an accepted header must describe
// planes that fit the frame; every frame it accepts holds exactly a frame's
// bytes; a stream ends in End or Error, with a message, after finitely many.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "byte_reader.h"
#include "y4m_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen wants at least a byte
  ByteReader reader;
  reader.file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!reader.file) return 0;
  reader.owned = true;
  Y4mHeader header;
  std::string error;
  if (starts_y4m(reader)) {
    if (read_y4m_header(reader, header, error)) {
      size_t samples = 0;
      for (int p = 0; p < header.planes; ++p) {
        if (header.plane_width[p] <= 0 || header.plane_height[p] <= 0) std::abort();
        samples += static_cast<size_t>(header.plane_width[p]) * header.plane_height[p];
      }
      if (samples * (header.bits > 8 ? 2 : 1) != header.frame_bytes) std::abort();
      Y4mFrame frame;
      for (size_t frames = 0;; ++frames) {
        const ReadResult got = read_y4m_frame(reader, header, frame, error);
        if (got != ReadResult::Frame) {
          if (got == ReadResult::Error && error.empty()) std::abort();  // a fault says what
          break;
        }
        if (frame.data.size() != header.frame_bytes) std::abort();
        if (frames > size) std::abort();  // every frame takes bytes
      }
    } else if (error.empty()) {
      std::abort();
    }
  }
  close_reader(reader);
  return 0;
}
