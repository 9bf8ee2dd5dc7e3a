// SPDX-License-Identifier: BSD-2-Clause
#include "editor_settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "parameters.h"
#include "plugin_errors.h"
#include "settings_args.h"

namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One decimal integer filling the whole text.
bool read_integer(const std::string& text, int64_t* value) {
  if (text.empty() || blank(text[0])) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = v;
  return true;
}

// "a,b,c": integers separated by commas, blanks free around each.
int read_list(const char* name, const std::string& text, ArgValue* value, zolta_error* error) {
  value->given = true;
  value->count = 0;
  size_t at = 0;
  for (;;) {
    const size_t comma = text.find(',', at);
    const std::string item =
        trimmed(text.substr(at, comma == std::string::npos ? comma : comma - at));
    int64_t v = 0;
    if (!read_integer(item, &v)) {
      return plugin_fail(error, ZOLTA_ERROR_SETTINGS, "%s value %d (\"%s\") is not an integer",
                         name, value->count + 1, item.c_str());
    }
    if (value->count < kParamMaxValues) value->ints[value->count] = v;
    ++value->count;
    if (comma == std::string::npos) return ZOLTA_OK;
    at = comma + 1;
  }
}

// A settings text of either kind, without blanks around it: "Config(...)" or
// a list of thresholds. args keeps a pointer into text.
int read_settings_text(const std::string& text, SettingsArgs* args, zolta_error* error) {
  if (text.compare(0, 6, "Config") == 0) {
    (*args)[kParamConfigText].given = true;
    (*args)[kParamConfigText].text = text.c_str();
    return ZOLTA_OK;
  }
  return read_list(kParams[kParamThresholds].name, text, &(*args)[kParamThresholds], error);
}

}  // namespace

bool editor_measures(const EditorValues& values) {
  return values.sigma_auto && trimmed(values.settings).empty() && trimmed(values.config).empty() &&
         trimmed(values.thresholds).empty() && trimmed(values.profile).empty();
}

int editor_settings(const EditorValues& values, int32_t family, zolta_settings* settings,
                    zolta_error* error) {
  SettingsArgs args;
  if (!values.view.empty()) {
    args[kParamView].given = true;
    args[kParamView].text = values.view.c_str();
  }
  const std::string plane = trimmed(values.plane);
  if (!plane.empty()) {
    args[kParamPlane].given = true;
    if (!read_integer(plane, &args[kParamPlane].ints[0])) {
      return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "plane must be an integer, not \"%s\"",
                         plane.c_str());
    }
  }
  const std::string settings_text = trimmed(values.settings);
  const std::string config = trimmed(values.config);
  const std::string thresholds = trimmed(values.thresholds);
  if (!config.empty() && !thresholds.empty()) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT,
                       "give the settings as config or as thresholds, not both");
  }
  const std::string profile = trimmed(values.profile);
  const bool text_given = !settings_text.empty() || !config.empty() || !thresholds.empty();
  if (text_given && !profile.empty()) {
    return plugin_fail(error, ZOLTA_ERROR_ARGUMENT,
                       "give the settings as %s or as a profile, not both",
                       !settings_text.empty() ? "a settings text"
                       : !config.empty()      ? "config"
                                              : "thresholds");
  }
  int status = ZOLTA_OK;
  if (!settings_text.empty()) {
    status = read_settings_text(settings_text, &args, error);
  } else if (!config.empty()) {
    args[kParamConfigText].given = true;
    args[kParamConfigText].text = config.c_str();
  } else if (!thresholds.empty()) {
    status = read_list(kParams[kParamThresholds].name, thresholds, &args[kParamThresholds], error);
  } else if (!profile.empty()) {
    args[kParamPluginProfile].given = true;
    args[kParamPluginProfile].text = profile.c_str();
  } else if (values.sigma_auto) {
    args[kParamSigmaAuto].given = true;
    args[kParamSigmaAuto].ints[0] = 1;
    args.measured = values.measured;
  } else {
    const ParamDef& noise = kParams[kParamNoise];
    if (!(values.sigma >= noise.min && values.sigma <= noise.max)) {
      return plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "sigma must lie in %g..%g, not %g", noise.min,
                         noise.max, values.sigma);
    }
    args[kParamSigma].given = true;
    args[kParamSigma].number = values.sigma;
  }
  if (status != ZOLTA_OK) return status;
  if (args[kParamSigma].given && args[kParamSigma].number == 0) {
    // No noise: the frames pass through, whatever the view.
    args[kParamSigma].given = false;
    args[kParamThresholds].given = true;
    args[kParamThresholds].count = kParams[kParamThresholds].count;
    zolta_settings off;
    status = settings_from_args(args, family, &off, error);
    if (status != ZOLTA_OK) return status;
    off.enabled = 0;
    *settings = off;
    return ZOLTA_OK;
  }
  return settings_from_args(args, family, settings, error);
}
