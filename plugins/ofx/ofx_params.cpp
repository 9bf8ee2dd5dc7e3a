// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_params.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "editor_settings.h"

namespace {

const char* const kPlaneNames[ZOLTA_PLANES] = {"Y", "Cb", "Cr"};
const char* const kDirectionNames[ZOLTA_DIRECTIONS] = {"rows", "columns"};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

OfxParamKind kind_of(const ParamDef& p) {
  switch (p.type) {
    case ParamType::kFloat:
      return OfxParamKind::kDouble;
    case ParamType::kChoice:
      return OfxParamKind::kChoice;
    case ParamType::kText:
      return OfxParamKind::kString;
    case ParamType::kBool:
      return OfxParamKind::kBoolean;
    default:
      // The plane is a choice of "picture" or a plane number.
      return p.id == kParamPlane ? OfxParamKind::kChoice : OfxParamKind::kInteger;
  }
}

void add_row(const ParamDef& p, std::vector<OfxParamRow>* rows) {
  if (p.type == ParamType::kIntList) {
    // [plane][direction][level], as the settings hold them.
    int index = 0;
    for (int plane = 0; plane < ZOLTA_PLANES; ++plane) {
      for (int direction = 0; direction < ZOLTA_DIRECTIONS; ++direction) {
        for (int level = 0; level < ZOLTA_LEVELS; ++level, ++index) {
          const std::string label = std::string(kPlaneNames[plane]) + " " +
                                    kDirectionNames[direction] + " " + std::to_string(level);
          std::string name = std::string(p.name) + "_" + label;
          for (char& c : name) c = c == ' ' ? '_' : c;
          rows->push_back({&p, OfxParamKind::kThreshold, lower(name), label, index});
        }
      }
    }
    return;
  }
  rows->push_back({&p, kind_of(p), p.name, p.name, 0});
}

std::vector<OfxParamRow> make_rows() {
  std::vector<OfxParamRow> rows;
  add_row(kParams[kParamNoise], &rows);
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceOfx) && p.id != kParamNoise) add_row(p, &rows);
  return rows;
}

std::string thresholds_text(const OfxValues& values) {
  std::string text;
  bool any = false;
  for (int t : values.thresholds) any = any || t != 0;
  if (!any) return text;
  for (size_t i = 0; i < sizeof values.thresholds / sizeof values.thresholds[0]; ++i)
    text += (i ? "," : "") + std::to_string(values.thresholds[i]);
  return text;
}

bool by_hand(const OfxValues& values) {
  for (int t : values.thresholds)
    if (t != 0) return true;
  return values.settings.find_first_not_of(" \t\r\n") != std::string::npos;
}

}  // namespace

const std::vector<OfxParamRow>& ofx_param_rows() {
  static const std::vector<OfxParamRow> rows = make_rows();
  return rows;
}

std::vector<std::string> ofx_choice_options(const ParamDef& row) {
  std::vector<std::string> options;
  if (row.type == ParamType::kChoice) {
    std::string all = row.choices;
    size_t at = 0;
    for (;;) {
      const size_t bar = all.find('|', at);
      options.push_back(all.substr(at, bar == std::string::npos ? bar : bar - at));
      if (bar == std::string::npos) break;
      at = bar + 1;
    }
    return options;
  }
  options.push_back("picture");
  for (int v = static_cast<int>(row.min); v <= static_cast<int>(row.max); ++v)
    options.push_back(std::to_string(v));
  return options;
}

OfxValues ofx_default_values() {
  OfxValues values;
  values.sigma = std::strtod(kParams[kParamNoise].default_value, nullptr);
  values.temporal =
      static_cast<int>(std::strtol(kParams[kParamTemporal].default_value, nullptr, 10));
  values.view = param_choice_index(kParams[kParamView], kParams[kParamView].default_value);
  values.settings = kParams[kParamSettings].default_value;
  return values;
}

bool ofx_measures(const OfxValues& values) {
  EditorValues editor;
  editor.settings = values.settings;
  editor.thresholds = thresholds_text(values);
  editor.profile = values.profile;
  editor.sigma_auto = values.sigma_auto;
  return editor_measures(editor);
}

int ofx_settings(const OfxValues& values, int32_t family, double scale,
                 const zolta_noise_model* measured, zolta_settings* settings,
                 zolta_error* error) {
  const ParamDef& noise = kParams[kParamNoise];
  double sigma = values.sigma * scale;
  if (sigma > noise.max) sigma = noise.max;
  EditorValues editor;
  editor.sigma = sigma;
  editor.settings = values.settings;
  editor.thresholds = thresholds_text(values);
  editor.profile = values.profile;
  editor.sigma_auto = values.sigma_auto;
  editor.measured = measured;
  // A profile was measured on full-size frames: a proxy render scales its
  // thresholds as it scales thresholds given by hand. A measured model is
  // measured at the render's own scale.
  const bool profile = !by_hand(values) &&
                       values.profile.find_first_not_of(" \t\r\n") != std::string::npos;
  const std::vector<std::string> views = ofx_choice_options(kParams[kParamView]);
  if (values.view >= 0 && values.view < static_cast<int>(views.size()))
    editor.view = views[static_cast<size_t>(values.view)];
  else
    editor.view = std::to_string(values.view);  // refused by its name
  if (values.plane != 0) editor.plane = std::to_string(values.plane - 1);
  zolta_settings built;
  int status = editor_settings(editor, family, &built, error);
  if (status != ZOLTA_OK) return status;
  if ((by_hand(values) || profile) && scale != 1.0) {
    for (auto& plane : built.thresholds) {
      for (auto& direction : plane) {
        for (int32_t& v : direction) {
          if (v == 0) continue;
          const long scaled = std::lround(v * scale);
          v = static_cast<int32_t>(scaled < 1                     ? 1
                                   : scaled > ZOLTA_THRESHOLD_MAX ? ZOLTA_THRESHOLD_MAX
                                                                  : scaled);
        }
      }
    }
  }
  if (by_hand(values) && sigma > 0) {
    // The temporal step's thresholds follow the noise level in every way.
    const float sigmas[3] = {static_cast<float>(sigma), static_cast<float>(sigma),
                             static_cast<float>(sigma)};
    zolta_settings chosen;
    status = zolta_settings_for_noise(sigmas, family, &chosen, error);
    if (status != ZOLTA_OK) return status;
    std::memcpy(built.temporal_thresholds, chosen.temporal_thresholds,
                sizeof built.temporal_thresholds);
    std::memcpy(built.temporal_spatial_share, chosen.temporal_spatial_share,
                sizeof built.temporal_spatial_share);
    std::memcpy(built.temporal_restore, chosen.temporal_restore, sizeof built.temporal_restore);
  }
  *settings = built;
  return ZOLTA_OK;
}
