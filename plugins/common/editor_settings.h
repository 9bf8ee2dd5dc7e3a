/* SPDX-License-Identifier: BSD-2-Clause */
// The settings of the editors' faces (frei0r, GStreamer). Their hosts hold
// every parameter as a value at all times, so nothing is ever "not given":
// the noise level is the default way, the measured noise (sigma_auto) takes
// its place, a profile (a path; empty: none) takes the place of both, a
// settings text (empty: none) of all three, and a noise level of 0 lets
// frames pass through. A settings text and a profile together are refused.
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
  std::string profile;     // a noise profile's path; empty: none
  bool sigma_auto = false;  // the noise as the face measured it (`measured`) instead of sigma
  const zolta_noise_model* measured = nullptr;
};

// True when the settings come from the frames' measured noise: sigma_auto is
// on and no settings text nor profile takes its place. The face then
// measures (zolta_noise_measure) and sets `measured` before editor_settings.
bool editor_measures(const EditorValues& values);

// Fills settings for a stream of `family` (zolta_family), or returns a
// zolta_status with the message in error and leaves settings as is.
int editor_settings(const EditorValues& values, int32_t family, zolta_settings* settings,
                    zolta_error* error);
