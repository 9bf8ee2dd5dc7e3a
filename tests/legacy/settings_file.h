/* SPDX-License-Identifier: BSD-2-Clause */
// Reading the eighteen thresholds from a processing-settings file that
// VirtualDub saved with this filter in its chain.
#pragma once

#include <cstdint>
#include <cstdio>

enum class SettingsResult {
  Ok,
  NoKeyLine,      // no piece of the file contains the key
  BadConfigLine,  // the key line is last, or the next line is not a Config call with nine integers
  TooLong,        // more than ZOLTA_SETTINGS_FILE_MAX bytes
  NoMemory,       // no buffer for the text
};

// Parses "VirtualDub.video.filters.instance[<index>].Config(<v0>,...,<v8>"
// from the line's first character. Each integer may have white space in front
// and a sign; each of the first eight is followed directly by a comma; nothing
// after the ninth is examined. Integers outside the 32-bit signed range make
// the line invalid. On success writes index and values.
bool parse_config_line(const char* line, int32_t& index, int32_t (&values)[9]);

// Splits one saved integer into its two thresholds: bits 8..15 and bits 0..7.
// Bits above 15 are dropped; a negative value gives the bytes of its two's
// complement.
void unpack_settings_value(int32_t value, int32_t& first, int32_t& second);

// Reads the file from its current position, through the settings codec
// (lines in pieces of 1023 characters after the first line that contains
// "quilmer"). On Ok, thresholds holds the
// eighteen values (planes Y, Cb, Cr; each X0, Y0, X1, Y1, X2, Y2); on any
// other result it is left untouched. Never closes the file.
SettingsResult read_settings(std::FILE* file, int32_t (&thresholds)[3][6]);
