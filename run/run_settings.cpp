// SPDX-License-Identifier: BSD-2-Clause
#include "run_settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "noise_level.h"
#include "settings.h"

namespace {

bool unpack(const ConfigValues& values, zolta_settings& settings, std::string& error) {
  zolta_error e{};
  if (zolta_config_unpack(values.data(), ZOLTA_UNPACK_STRICT, &settings, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  return true;
}

}  // namespace

void apply_views(const RunOptions& options, zolta_settings& settings) {
  if (options.mode >= 0) settings.view = options.mode;
  if (options.plane >= 0) settings.plane = options.plane;
  if (options.show_plane) settings.show_plane = 1;
  if (options.off) settings.enabled = 0;
}

bool parse_thresholds(const std::string& text, zolta_settings& settings, std::string& error) {
  int32_t values[18];
  const char* p = text.c_str();
  int count = 0;
  bool ok = true;
  while (ok) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    if (count > 0) {
      if (*p == ',') ++p;
      while (*p == ' ' || *p == '\t') ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p)) || count == 18) {
      ok = false;
      break;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    ok = errno != ERANGE && v <= ZOLTA_THRESHOLD_MAX;
    values[count++] = static_cast<int32_t>(v);
    p = end;
  }
  if (!ok || count != 18) {
    error = "bad --thresholds \"" + text +
            "\": expected eighteen integers 0..4095 (Y, Cb, Cr; along rows, then along "
            "columns; levels 0, 1, 2)";
    return false;
  }
  std::copy(values, values + 18, &settings.thresholds[0][0][0]);
  return true;
}

std::string thresholds_text(const zolta_settings& settings) {
  std::string text;
  const int32_t* t = &settings.thresholds[0][0][0];
  for (int i = 0; i < 18; ++i) text += (i ? "," : "") + std::to_string(t[i]);
  return text;
}

std::string config_text(const zolta_settings& settings) {
  const int32_t* t = &settings.thresholds[0][0][0];
  for (int i = 0; i < 18; ++i)
    if (t[i] < 0 || t[i] > 255) return std::string();
  int32_t packed[9];
  zolta_config_pack(&settings, packed);
  char text[160];
  zolta_config_format(packed, text, sizeof text);
  return text;
}

bool settings_from_options(const RunOptions& options, zolta_settings& settings,
                           std::string& error) {
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  if (!options.thresholds_text.empty()) {
    if (!parse_thresholds(options.thresholds_text, settings, error)) return false;
  } else if (options.sigma_given && !options.sigma_auto) {
    // Settled by denoise_stream, which knows the stream's family.
  } else if (!options.config_text.empty() || !options.vcf_path.empty()) {
    ConfigValues values{};
    const bool read = !options.config_text.empty()
                          ? parse_config_call(options.config_text, values, error)
                          : read_settings_file(options.vcf_path, values, error);
    if (!read || !unpack(values, settings, error)) return false;
  }
  if (!options.profile.empty()) {
    // Read now so that a bad profile is refused before any input is read;
    // denoise_stream makes the settings for the stream's family.
    NoiseEstimate estimate;
    if (!read_profile(options.profile, estimate, error)) return false;
  }
  apply_views(options, settings);
  return true;
}
