/* SPDX-License-Identifier: BSD-2-Clause */
// The effect's parameters, made from the rows of the parameter table that
// the OpenFX face offers: the noise level first, then the rest in table
// order. The eighteen thresholds are eighteen integer parameters in a group;
// the view and the plane are choices. What the host holds at a time is an
// OfxValues record, and the settings follow from it as in the other editors:
// a settings text, when given, takes the place of everything else, then the
// thresholds when any of them is above 0, then the noise level (0: frames
// pass through). A profile takes the place of the noise level and of
// sigma_auto, which takes the place of the noise level.
#pragma once

#include <string>
#include <vector>

#include "parameters.h"
#include "zolta.h"

enum class OfxParamKind { kDouble, kInteger, kChoice, kString, kThreshold, kBoolean };

struct OfxParamRow {
  const ParamDef* row;  // the table's row
  OfxParamKind kind;
  std::string name;   // the OpenFX name (a threshold: "thresholds_y_rows_0")
  std::string label;  // shown in the host
  int index;          // a threshold's place in the row's eighteen values; else 0
};

// Every parameter in the order the effect defines them (the thresholds'
// group itself is not among them: its name is the row's name).
const std::vector<OfxParamRow>& ofx_param_rows();

// A choice's options: the view's names; for the plane "picture" and then the
// plane numbers.
std::vector<std::string> ofx_choice_options(const ParamDef& row);

struct OfxValues {
  double sigma = 0;
  int temporal = 0;
  int view = 0;   // index into the view's options
  int plane = 0;  // 0: the picture; p + 1: plane p as grey
  int thresholds[ZOLTA_PLANES * ZOLTA_DIRECTIONS * ZOLTA_LEVELS] = {};
  std::string settings;
  bool sigma_auto = false;
  std::string profile;  // a noise profile's path; empty: none
};

// True when the settings come from the source clip's measured noise
// (sigma_auto on, no settings text, thresholds nor profile in its place).
bool ofx_measures(const OfxValues& values);

// The values every parameter starts with.
OfxValues ofx_default_values();

// Settings for a stream of `family` from the values, for a render at
// `scale` (the square root of the render scale's area: a proxy render of
// half the size in both directions sees half the noise): the noise level is
// multiplied by it, thresholds given by hand are scaled (each above 0 stays
// at least 1). The temporal thresholds follow the noise level, except for a
// profile's or a measured model's, which come with their own. `measured`:
// the model of the source clip's first frames at this scale (sigma_auto),
// or null. On failure returns a zolta_status with the message in error.
int ofx_settings(const OfxValues& values, int32_t family, double scale,
                 const zolta_noise_model* measured, zolta_settings* settings, zolta_error* error);
