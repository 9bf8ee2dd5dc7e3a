/* SPDX-License-Identifier: BSD-2-Clause */
// Writes an RGB picture as a PNG file without any compression library: the
// image data goes into stored (uncompressed) deflate blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width * height * 3 bytes, rows top to bottom, red first.
std::vector<uint8_t> encode_png_rgb(const std::vector<uint8_t>& rgb, uint32_t width,
                                    uint32_t height);
bool write_png_rgb(const std::string& path, const std::vector<uint8_t>& rgb, uint32_t width,
                   uint32_t height);
