/* SPDX-License-Identifier: BSD-2-Clause */
// The nine "Config" integers that carry the eighteen thresholds: read from a
// VirtualDub processing-settings file or from a "Config(...)" text, and
// written as a settings file for the AviSynth plugin.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "zolta.h"

using ConfigValues = std::array<int32_t, 9>;

// Everything here goes through the engine's settings codec of zolta.h and
// takes values under its strict rule: each of the nine integers in 0..65535.

// "Config(a, b, c, d, e, f, g, h, i)" with nine integers in 0..65535 (each
// packs two thresholds of 0..255); blanks are free, a trailing ';' is allowed.
bool parse_config_call(const std::string& text, ConfigValues& values, std::string& error);

// The text of a saved settings file: the Config line after the first line
// containing the key, "VirtualDub.video.filters.instance[N].Config(...)".
bool parse_settings_text(const std::string& text, ConfigValues& values, std::string& error);

// Settings files are small; a longer file is refused unread.
constexpr long kMaxSettingsFileBytes = ZOLTA_SETTINGS_FILE_MAX;

// Reads and parses a settings file; messages name the file and say what was
// wrong (missing, a directory, not a regular file, too long, no settings).
bool read_settings_file(const std::string& path, ConfigValues& values, std::string& error);

// The smallest settings file the AviSynth plugin accepts for these values.
std::string settings_file_text(const ConfigValues& values);
