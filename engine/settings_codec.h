/* SPDX-License-Identifier: BSD-2-Clause */
// The one settings codec of the project: the nine packed "Config" integers,
// their text, and VirtualDub processing-settings files. The C functions of
// zolta.h are thin wrappers over these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "zolta.h"

namespace zolta {

// The filter's name in VirtualDub's chain, and the same without its version:
// the Config line follows the first line of a settings file that contains it.
extern const char kFilterName[];
extern const char kSettingsKey[];
// Lines of a settings file are taken in pieces of at most this many
// characters (a buffer of 1024 for fgets).
constexpr size_t kSettingsPiece = 1023;

// Two thresholds as one integer: (first << 8) + second, wrapping in 32 bits.
int32_t pack_pair(int32_t first, int32_t second);
// The script call's rule: first = value >> 8 (sign kept), second = value & 255.
void unpack_pair_script(int32_t value, int32_t& first, int32_t& second);
// The settings file's rule: first = (value >> 8) & 255, second = value & 255.
void unpack_pair_file(int32_t value, int32_t& first, int32_t& second);

// The legacy record's order [plane][X0, Y0, X1, Y1, X2, Y2] <-> nine values.
void pack_legacy(const int32_t thresholds[3][6], int32_t packed[9]);
void unpack_legacy(const int32_t packed[9], int32_t rule, int32_t thresholds[3][6]);

// "Config(a, ..., i)" with an optional ';'; blanks free around every token.
int parse_config(const char* text, int32_t packed[9], zolta_error* error);
size_t format_config(const int32_t packed[9], char* buffer, size_t size);

// "VirtualDub.video.filters.instance[" int "].Config(" nine ints, read from
// the first character; each integer optionally after white space and with an
// optional sign, each of the first eight followed directly by ','. Integers
// outside 32 bits make the line invalid.
bool parse_config_line(const char* line, int32_t& index, int32_t packed[9]);

// What reading a settings text came to.
enum class SettingsReading {
  kOk,
  kNoKeyLine,      // no piece contains the key
  kBadConfigLine,  // the key's piece is the last, or the next is no Config line
  kTooLong,        // more than ZOLTA_SETTINGS_FILE_MAX bytes
};

// A settings text in memory, read as fgets reads a file in pieces.
SettingsReading scan_settings_text(const char* text, size_t length, int32_t packed[9]);
int read_settings_text(const char* text, size_t length, int32_t packed[9], zolta_error* error);
// A stream from its position on (never closed here), at most
// ZOLTA_SETTINGS_FILE_MAX bytes of it. ZOLTA_ERROR_MEMORY when no buffer.
int read_settings_stream(std::FILE* file, int32_t packed[9], SettingsReading& reading,
                         zolta_error* error);
int read_settings_file(const char* path, int32_t packed[9], zolta_error* error);
size_t format_settings_file(const int32_t packed[9], char* buffer, size_t size);

}  // namespace zolta
