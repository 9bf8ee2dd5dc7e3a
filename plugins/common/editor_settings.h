/* SPDX-License-Identifier: BSD-2-Clause */
// The settings of the editors' faces (frei0r, GStreamer). Their hosts hold
// every parameter as a value at all times, so nothing is ever "not given":
// the noise level is the default way, a settings text (empty: none) takes its
// place, and a noise level of 0 lets frames pass through.
#pragma once

#include <cstdint>
#include <string>

#include "zolta.h"

struct EditorValues {
  double sigma = 0;        // the input's noise on the 8-bit scale
  std::string settings;    // "Config(...)" or eighteen thresholds (frei0r)
  std::string config;      // "Config(...)" (GStreamer)
  std::string thresholds;  // eighteen thresholds "a,b,..." (GStreamer)
  std::string view;        // a choice of the view row; empty: its default
  std::string plane;       // "0".."2"; empty: the picture itself
};

// Fills settings for a stream of `family` (zolta_family), or returns a
// zolta_status with the message in error and leaves settings as is.
int editor_settings(const EditorValues& values, int32_t family, zolta_settings* settings,
                    zolta_error* error);
