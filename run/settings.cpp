#include "settings.h"

#include <algorithm>

#include "settings_codec.h"
#include "zolta.h"

// Thin calls into the settings codec (engine/settings_codec.h); the run
// accepts only values in 0..65535, which mean the same under both hosts.

namespace {

bool in_range(const int32_t packed[9]) {
  zolta_settings unused;
  return zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &unused, nullptr) == ZOLTA_OK;
}

}  // namespace

bool parse_config_call(const std::string& text, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  if (zolta::parse_config(text.c_str(), packed, nullptr) != ZOLTA_OK || !in_range(packed)) {
    error = "bad --config \"" + text +
            "\": expected Config(a, b, c, d, e, f, g, h, i) with nine integers 0..65535";
    return false;
  }
  std::copy(packed, packed + 9, values.begin());
  return true;
}

bool parse_settings_text(const std::string& text, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  zolta_error e{};
  if (zolta::read_settings_text(text.data(), text.size(), packed, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  if (!in_range(packed)) {
    error = std::string("the Config call after the \"") + zolta::kSettingsKey +
            "\" line holds values outside 0..65535";
    return false;
  }
  std::copy(packed, packed + 9, values.begin());
  return true;
}

bool read_settings_file(const std::string& path, ConfigValues& values, std::string& error) {
  int32_t packed[9];
  zolta_error e{};
  if (zolta::read_settings_file(path.c_str(), packed, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  if (!in_range(packed)) {
    error = "settings file \"" + path + "\": values outside 0..65535";
    return false;
  }
  std::copy(packed, packed + 9, values.begin());
  return true;
}

std::string settings_file_text(const ConfigValues& values) {
  char text[256];
  zolta::format_settings_file(values.data(), text, sizeof text);
  return text;
}
