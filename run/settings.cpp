// SPDX-License-Identifier: BSD-2-Clause
// A thin layer over the engine's one settings codec (zolta.h): the same text
// and the same file give the same nine values here as in every other face,
// and zolta-run takes them under the strict rule, values 0..65535, where the
// VirtualDub script call and AviSynth's reading of a file agree.
#include "settings.h"

#include <algorithm>
#include <vector>

#include "zolta.h"

namespace {

// The strict rule's check; on success copies the values out.
bool take_strict(const int32_t packed[9], ConfigValues& values, std::string& error) {
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  zolta_error e{};
  if (zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &settings, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  std::copy(packed, packed + 9, values.begin());
  return true;
}

}  // namespace

bool parse_config_call(const std::string& text, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  zolta_error e{};
  if (zolta_config_parse(text.c_str(), packed, &e) != ZOLTA_OK) {
    error = "bad --config \"" + text + "\": " + e.message;
    return false;
  }
  if (!take_strict(packed, values, error)) {
    error = "bad --config \"" + text + "\": " + error;
    return false;
  }
  return true;
}

bool parse_settings_text(const std::string& text, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  zolta_error e{};
  if (zolta_settings_text_read(text.data(), text.size(), packed, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  return take_strict(packed, values, error);
}

bool read_settings_file(const std::string& path, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  zolta_error e{};
  if (zolta_settings_file_read(path.c_str(), packed, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  if (!take_strict(packed, values, error)) {
    error = "settings file \"" + path + "\": " + error;
    return false;
  }
  return true;
}

std::string settings_file_text(const ConfigValues& values) {
  std::vector<char> text(zolta_settings_file_format(values.data(), nullptr, 0) + 1);
  zolta_settings_file_format(values.data(), text.data(), text.size());
  return text.data();
}
