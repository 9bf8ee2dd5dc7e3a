/* SPDX-License-Identifier: BSD-2-Clause */
// The filter's arguments, as both hosts hand them over, turned into the
// engine's settings. Host-independent: each host face reads its own argument
// map into a SettingsArgs, one value per row of the parameter table that the
// plugins offer, and gets the settings or a message back.
#pragma once

#include <cstdint>

#include "parameters.h"
#include "zolta.h"

// One argument as the host gave it.
struct ArgValue {
  bool given = false;
  int count = 0;  // lists: as many values as were given (the first kParamMaxValues are kept)
  int64_t ints[kParamMaxValues] = {};  // kInt: ints[0]
  double number = 0;                   // kFloat
  const char* text = nullptr;          // kText, kChoice; config given as its text
};

struct SettingsArgs {
  ArgValue values[kParamCount];  // by ParamId; rows no plugin offers stay unset
  // sigma_auto: the model the face measured on the clip (settings_args_measure).
  const zolta_noise_model* measured = nullptr;

  ArgValue& operator[](ParamId id) { return values[id]; }
  const ArgValue& operator[](ParamId id) const { return values[id]; }
};

// The frames a plugin measures sigma_auto on: the clip's first ones, as
// zolta-run --sigma auto measures its input's.
constexpr int kMeasureFrames = 8;

// True when sigma_auto is on and is the only way the settings are given: the
// face then measures the model on the clip (zolta_noise_measure) and sets
// args.measured before settings_from_args. Any other mix is refused there,
// before a frame is read.
bool settings_args_measure(const SettingsArgs& args);

// The temporal radius given (0 when absent), or a zolta_status with the
// message: 0..2, and a radius above 0 needs the noise (sigma, sigma_auto or
// a profile) for its thresholds.
int settings_args_radius(const SettingsArgs& args, int32_t* radius, zolta_error* error);

// Fills settings from args for a stream of the given family (zolta_family):
// the thresholds given in exactly one of the ways the table marks, and the
// views. On failure returns a zolta_status, fills error and leaves settings
// as is.
int settings_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                       zolta_error* error);
