#include "settings_args.h"

#include <cstring>

#include "plugin_errors.h"

namespace {

int thresholds_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                         zolta_error* error) {
  const int ways = (args.has_config ? 1 : 0) + (args.config_text ? 1 : 0) + (args.vcf ? 1 : 0) +
                   (args.has_sigma ? 1 : 0);
  if (ways != 1) {
    return plugin_fail(
        error, ZOLTA_ERROR_ARGUMENT,
        "give the settings in exactly one way: config, config_text, vcf or sigma (%d "
        "given)",
        ways);
  }
  int32_t packed[9];
  if (args.has_config) {
    if (args.config_count != 9) {
      return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "config takes nine integers, not %d",
                         args.config_count);
    }
    for (int i = 0; i < 9; ++i) {
      if (args.config[i] < INT32_MIN || args.config[i] > INT32_MAX) {
        return plugin_fail(error, ZOLTA_ERROR_SETTINGS, "config value %d (%lld) is out of range",
                           i + 1, static_cast<long long>(args.config[i]));
      }
      packed[i] = static_cast<int32_t>(args.config[i]);
    }
  } else if (args.config_text) {
    const int status = zolta_config_parse(args.config_text, packed, error);
    if (status != ZOLTA_OK) return status;
  } else if (args.vcf) {
    const int status = zolta_settings_file_read(args.vcf, packed, error);
    if (status != ZOLTA_OK) return status;
  } else {
    const float sigma = static_cast<float>(args.sigma);
    const float sigmas[3] = {sigma, sigma, sigma};
    zolta_settings chosen;
    // The user's noise is in the clip's own channels (R, G, B for RGB clips).
    const int status = zolta_settings_for_noise(sigmas, family, &chosen, error);
    if (status != ZOLTA_OK) return status;
    std::memcpy(settings->thresholds, chosen.thresholds, sizeof settings->thresholds);
    // The temporal fields too; only a denoiser with a temporal radius reads them.
    std::memcpy(settings->temporal_thresholds, chosen.temporal_thresholds,
                sizeof settings->temporal_thresholds);
    std::memcpy(settings->temporal_spatial_share, chosen.temporal_spatial_share,
                sizeof settings->temporal_spatial_share);
    std::memcpy(settings->temporal_restore, chosen.temporal_restore,
                sizeof settings->temporal_restore);
    return ZOLTA_OK;
  }
  return zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, settings, error);
}

}  // namespace

int settings_from_args(const SettingsArgs& args, int32_t family, zolta_settings* settings,
                       zolta_error* error) {
  zolta_settings built;
  zolta_settings_default(&built, ZOLTA_API_VERSION);
  if (!args.view || std::strcmp(args.view, "normal") == 0) {
    built.view = ZOLTA_VIEW_NORMAL;
  } else if (std::strcmp(args.view, "high") == 0) {
    built.view = ZOLTA_VIEW_HIGH;
  } else if (std::strcmp(args.view, "diff") == 0) {
    built.view = ZOLTA_VIEW_DIFF;
  } else {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "view must be normal, high or diff, not \"%s\"",
                       args.view);
  }
  if (args.has_plane) {
    const int planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
    if (args.plane < 0 || args.plane >= planes) {
      return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "plane must be %s for this clip, not %lld",
                         planes == 1 ? "0" : "0, 1 or 2", static_cast<long long>(args.plane));
    }
    built.plane = static_cast<int32_t>(args.plane);
    built.show_plane = 1;
  }
  const int status = thresholds_from_args(args, family, &built, error);
  if (status != ZOLTA_OK) return status;
  *settings = built;
  return ZOLTA_OK;
}
