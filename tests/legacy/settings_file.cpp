// SPDX-License-Identifier: BSD-2-Clause
#include "settings_file.h"

#include <cstring>

#include "settings_codec.h"

// All of it is the settings codec's (engine/settings_codec.h); this file
// keeps the AviSynth face's names and results.

bool parse_config_line(const char* line, int32_t& index, int32_t (&values)[9]) {
  return zolta::parse_config_line(line, index, values);
}

void unpack_settings_value(int32_t value, int32_t& first, int32_t& second) {
  zolta::unpack_pair_file(value, first, second);
}

SettingsResult read_settings(std::FILE* file, int32_t (&thresholds)[3][6]) {
  int32_t values[9];
  zolta::SettingsReading reading = zolta::SettingsReading::kOk;
  if (zolta::read_settings_stream(file, values, reading, nullptr) == ZOLTA_ERROR_MEMORY) {
    return SettingsResult::NoMemory;
  }
  switch (reading) {
    case zolta::SettingsReading::kOk:
      break;
    case zolta::SettingsReading::kNoKeyLine:
      return SettingsResult::NoKeyLine;
    case zolta::SettingsReading::kBadConfigLine:
      return SettingsResult::BadConfigLine;
    case zolta::SettingsReading::kTooLong:
      return SettingsResult::TooLong;
  }
  zolta::unpack_legacy(values, ZOLTA_UNPACK_FILE, thresholds);
  return SettingsResult::Ok;
}
