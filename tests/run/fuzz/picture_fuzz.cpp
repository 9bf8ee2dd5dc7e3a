// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to zolta-run's PNG or PPM reader (chosen at build
// time) as a stream of pictures. The reader must never crash or read outside
// its buffers, every picture it accepts must have a size within the limits and
// exactly its pixels, and a stream ends in End or Error after finitely many.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "byte_reader.h"
#include "picture.h"
#include "png_io.h"
#include "ppm_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen wants at least a byte; the empty stream is the unit tests' case.
  if (size == 0) return 0;
  ByteReader reader;
  reader.file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!reader.file) return 0;
  reader.owned = true;
  Picture picture;
  std::string error;
#ifdef ZOLTA_FUZZ_PNG
  if (starts_png(reader)) {
    for (size_t pictures = 0;; ++pictures) {
      const ReadResult got = read_png_frame(reader, picture, error);
#else
  if (starts_ppm(reader)) {
    for (size_t pictures = 0;; ++pictures) {
      const ReadResult got = read_ppm(reader, picture, error);
#endif
      if (got != ReadResult::Frame) {
        if (got == ReadResult::Error && error.empty()) std::abort();  // a fault says what
        break;
      }
      if (!picture_size_allowed(picture.width, picture.height) ||
          picture.samples.size() != picture_bytes(picture))
        std::abort();
      if (pictures > size) std::abort();  // every picture takes bytes
    }
  }
  close_reader(reader);
  return 0;
}
