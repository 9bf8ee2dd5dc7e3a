// SPDX-License-Identifier: BSD-2-Clause
#include "settings_args.h"

#include <cstring>
#include <string>

#include "plugin_errors.h"

namespace {

// "config, config_text, vcf, sigma, thresholds or profile": the ways, in table order.
std::string ways_text() {
  std::string names[kParamCount];
  int n = 0;
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFacePlugins) && p.settings_way) names[n++] = p.name;
  std::string text;
  for (int i = 0; i < n; ++i) text += (i == 0 ? "" : i + 1 == n ? " or " : ", ") + names[i];
  return text;
}

// A switch counts when it is on.
bool way_given(const ParamDef& p, const ArgValue& v) {
  return v.given && (p.type != ParamType::kBool || v.ints[0] != 0);
}

int count_of_ways(const SettingsArgs& args) {
  int ways = 0;
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFacePlugins) && p.settings_way && way_given(p, args[p.id])) ++ways;
  return ways;
}

// A list argument with exactly the row's number of values.
int check_count(const ParamDef& p, const ArgValue& v, zolta_error* error) {
  if (v.count == p.count) return ZOLTA_OK;
  return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "%s takes %s integers, not %d", p.name,
                     param_count_word(p.count).c_str(), v.count);
}

// The nine integers: each must fit the engine's integers; their range is the
// strict rule's, with the engine's message.
int packed_from_config(const ArgValue& v, int32_t packed[9], zolta_error* error) {
  const int status = check_count(kParams[kParamConfig], v, error);
  if (status != ZOLTA_OK) return status;
  for (int i = 0; i < 9; ++i) {
    if (v.ints[i] < INT32_MIN || v.ints[i] > INT32_MAX) {
      return plugin_fail(error, ZOLTA_ERROR_SETTINGS, "config value %d (%lld) is out of range",
                         i + 1, static_cast<long long>(v.ints[i]));
    }
    packed[i] = static_cast<int32_t>(v.ints[i]);
  }
  return ZOLTA_OK;
}

// The eighteen thresholds, in the order of zolta_settings.thresholds.
int take_thresholds(const ArgValue& v, zolta_settings* settings, zolta_error* error) {
  const ParamDef& p = kParams[kParamThresholds];
  const int status = check_count(p, v, error);
  if (status != ZOLTA_OK) return status;
  int32_t* t = &settings->thresholds[0][0][0];
  for (int i = 0; i < p.count; ++i) {
    if (v.ints[i] < p.min || v.ints[i] > p.max) {
      return plugin_fail(error, ZOLTA_ERROR_SETTINGS, "%s value %d (%lld) is outside %g..%g",
                         p.name, i + 1, static_cast<long long>(v.ints[i]), p.min, p.max);
    }
    t[i] = static_cast<int32_t>(v.ints[i]);
  }
  return ZOLTA_OK;
}

int thresholds_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                         zolta_error* error) {
  const int ways = count_of_ways(args);
  if (ways != 1) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT,
                       "give the settings in exactly one way: %s (%d given)", ways_text().c_str(),
                       ways);
  }
  const ArgValue& auto_value = args[kParamSigmaAuto];
  if (auto_value.given && auto_value.ints[0] != 0 && auto_value.ints[0] != 1) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "sigma_auto must be 0 or 1, not %lld",
                       static_cast<long long>(auto_value.ints[0]));
  }
  if (args[kParamThresholds].given) return take_thresholds(args[kParamThresholds], settings, error);
  int32_t packed[9];
  if (args[kParamConfig].given && args[kParamConfig].text) {
    // A host whose config takes any type, given the text VirtualDub shows.
    const int status = zolta_config_parse(args[kParamConfig].text, packed, error);
    if (status != ZOLTA_OK) return status;
  } else if (args[kParamConfig].given) {
    const int status = packed_from_config(args[kParamConfig], packed, error);
    if (status != ZOLTA_OK) return status;
  } else if (args[kParamConfigText].given) {
    const int status = zolta_config_parse(args[kParamConfigText].text, packed, error);
    if (status != ZOLTA_OK) return status;
  } else if (args[kParamVcf].given) {
    const int status = zolta_settings_file_read(args[kParamVcf].text, packed, error);
    if (status != ZOLTA_OK) return status;
  } else {
    zolta_settings chosen;
    if (args[kParamPluginProfile].given) {
      // A noise profile: the settings of its model, for the clip's family.
      zolta_noise_model model;
      zolta_noise_model_default(&model, ZOLTA_API_VERSION);
      int status = zolta_noise_profile_read(args[kParamPluginProfile].text, &model, error);
      if (status == ZOLTA_OK) status = zolta_settings_for_model(&model, family, &chosen, error);
      if (status != ZOLTA_OK) return status;
    } else if (way_given(kParams[kParamSigmaAuto], args[kParamSigmaAuto])) {
      // The model the face measured on the clip's first frames.
      if (!args.measured) {
        return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "sigma_auto: no frame was measured");
      }
      const int status = zolta_settings_for_model(args.measured, family, &chosen, error);
      if (status != ZOLTA_OK) return status;
    } else {
      const float sigma = static_cast<float>(args[kParamSigma].number);
      const float sigmas[3] = {sigma, sigma, sigma};
      // The user's noise is in the clip's own channels (R, G, B for RGB clips).
      const int status = zolta_settings_for_noise(sigmas, family, &chosen, error);
      if (status != ZOLTA_OK) return status;
    }
    std::memcpy(settings->thresholds, chosen.thresholds, sizeof settings->thresholds);
    // The temporal fields too; only a denoiser with a temporal radius reads them.
    std::memcpy(settings->temporal_thresholds, chosen.temporal_thresholds,
                sizeof settings->temporal_thresholds);
    std::memcpy(settings->temporal_spatial_share, chosen.temporal_spatial_share,
                sizeof settings->temporal_spatial_share);
    std::memcpy(settings->temporal_restore, chosen.temporal_restore,
                sizeof settings->temporal_restore);
    // And a profile's brightness gains (none for a given sigma).
    std::memcpy(settings->brightness_gains, chosen.brightness_gains,
                sizeof settings->brightness_gains);
    return ZOLTA_OK;
  }
  return zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, settings, error);
}

}  // namespace

bool settings_args_measure(const SettingsArgs& args) {
  return way_given(kParams[kParamSigmaAuto], args[kParamSigmaAuto]) && count_of_ways(args) == 1 &&
         args[kParamSigmaAuto].ints[0] == 1;
}

int settings_args_radius(const SettingsArgs& args, int32_t* radius, zolta_error* error) {
  const ArgValue& v = args[kParamTemporal];
  const int64_t r = v.given ? v.ints[0] : 0;
  if (r < 0 || r > 2) return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "temporal must be 0, 1 or 2");
  const bool noise = args[kParamSigma].given || args[kParamPluginProfile].given ||
                     way_given(kParams[kParamSigmaAuto], args[kParamSigmaAuto]);
  if (r > 0 && !noise) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT,
                       "temporal takes its thresholds from the noise: give sigma, sigma_auto or "
                       "profile");
  }
  *radius = static_cast<int32_t>(r);
  return ZOLTA_OK;
}

int settings_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                       zolta_error* error) {
  zolta_settings built;
  zolta_settings_default(&built, ZOLTA_API_VERSION);
  const ParamDef& view = kParams[kParamView];
  const char* view_text = args[kParamView].given ? args[kParamView].text : view.default_value;
  const int view_index = param_choice_index(view, view_text);
  if (view_index < 0) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "%s must be %s, not \"%s\"", view.name,
                       param_choices_text(view).c_str(), view_text);
  }
  built.view = ZOLTA_VIEW_NORMAL + view_index;
  const ArgValue& plane = args[kParamPlane];
  if (plane.given) {
    const int planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
    if (plane.ints[0] < 0 || plane.ints[0] >= planes) {
      return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "plane must be %s for this clip, not %lld",
                         planes == 1 ? "0" : "0, 1 or 2", static_cast<long long>(plane.ints[0]));
    }
    built.plane = static_cast<int32_t>(plane.ints[0]);
    built.show_plane = 1;
  }
  const int status = thresholds_from_args(args, family, &built, error);
  if (status != ZOLTA_OK) return status;
  *settings = built;
  return ZOLTA_OK;
}
