/* SPDX-License-Identifier: BSD-2-Clause */
// Reading the export and import lists of a 32-bit Windows library file
// (PE32 format) from its bytes. Every offset in the file is checked before
// it is followed, so a damaged file yields an error, never a bad read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
  uint16_t machine = 0;  // 0x14c for 32-bit x86
  bool is_dll = false;
  std::string export_module;         // the name recorded in the export directory
  std::vector<std::string> exports;  // exported names, in the table's order
  std::vector<std::string> imports;  // names of the imported modules
};

// Returns false with a one-line reason when bytes is not a readable PE32 file.
bool read_pe_image(const std::vector<uint8_t>& bytes, PeImage& image, std::string& error);

bool read_file_bytes(const std::string& path, std::vector<uint8_t>& bytes);
