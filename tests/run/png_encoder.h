/* SPDX-License-Identifier: BSD-2-Clause */
// PNG files written by libpng itself, for the readers of zolta-run to meet.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

// Raw rows (16-bit samples most significant first) as a PNG of any colour
// type and depth, with a palette and a transparent colour (tRNS) when given.
inline std::string encode_png(int w, int h, int color_type, int depth,
                              const std::vector<uint8_t>& raw,
                              const std::vector<png_color>& palette = {},
                              const png_color_16* key = nullptr) {
  return written([&](FILE* f) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, depth, color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (key) png_set_tRNS(png, info, nullptr, 0, key);
    png_write_info(png, info);
    const size_t row = raw.size() / h;
    for (int y = 0; y < h; ++y) png_write_row(png, raw.data() + y * row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
  });
}
