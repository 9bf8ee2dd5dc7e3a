// The filter's settings arguments, as both hosts hand them over, turned into
// the engine's settings. Host-independent: each host face reads its own
// argument map into a SettingsArgs and gets the settings or a message back.
#pragma once

#include <cstdint>

#include "zolta.h"

struct SettingsArgs {
  // Exactly one of the four ways of giving thresholds.
  bool has_config = false;  // the nine integers
  int config_count = 0;     // as many as were given (only nine are accepted)
  int64_t config[9] = {};
  const char* config_text = nullptr;  // "Config(a, ..., i)"
  const char* vcf = nullptr;          // path of a VirtualDub settings file
  bool has_sigma = false;
  double sigma = 0;  // noise level on the 8-bit scale, for every plane

  // The views.
  const char* view = nullptr;  // "normal" (default), "high" or "diff"
  bool has_plane = false;
  int64_t plane = 0;  // 0..2: the picture shows this plane as grey
};

// Fills settings from args for a stream of the given family (zolta_family).
// On failure returns a zolta_status, fills error and leaves settings as is.
int settings_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                       zolta_error* error);
