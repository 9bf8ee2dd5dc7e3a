// SPDX-License-Identifier: BSD-2-Clause
#include "gst_properties.h"

#include <gst/gst.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<const ParamDef*> make_rows() {
  std::vector<const ParamDef*> rows;
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceGStreamer)) rows.push_back(&p);
  return rows;
}

const std::vector<const ParamDef*>& rows() {
  static const std::vector<const ParamDef*> list = make_rows();
  return list;
}

// Help texts on one line; they live as long as the process (the specs keep
// them without copies).
const char* blurb(const ParamDef& p) {
  static std::vector<std::string>* texts = new std::vector<std::string>(kParamCount);
  std::string& text = (*texts)[p.id];
  if (text.empty()) {
    text = p.help;
    for (char& c : text)
      if (c == '\n') c = ' ';
    if (p.type == ParamType::kInt && !p.default_value) text += " (-1: not given)";
  }
  return text.c_str();
}

// The enumeration of a choice row: its choices, in order, as values 0, 1, ...
GType choice_type(const ParamDef& p) {
  const std::string type_name = std::string("GstZolta_") + p.name;
  GType type = g_type_from_name(type_name.c_str());
  if (type) return type;
  std::vector<std::string> names;
  std::string name;
  for (const char* c = p.choices;; ++c) {
    if (*c == '|' || *c == '\0') {
      names.push_back(name);
      name.clear();
      if (*c == '\0') break;
    } else {
      name += *c;
    }
  }
  GEnumValue* values = g_new0(GEnumValue, names.size() + 1);
  for (size_t i = 0; i < names.size(); ++i) {
    values[i].value = static_cast<gint>(i);
    values[i].value_name = g_strdup(names[i].c_str());
    values[i].value_nick = values[i].value_name;
  }
  return g_enum_register_static(g_intern_string(type_name.c_str()), values);
}

int default_int(const ParamDef& p) {
  return p.default_value ? std::atoi(p.default_value) : static_cast<int>(p.min) - 1;
}

}  // namespace

int zolta_gst_param_count() {
  return static_cast<int>(rows().size());
}

const ParamDef* zolta_gst_param(guint property_id) {
  if (property_id < 1 || property_id > rows().size()) return nullptr;
  return rows()[property_id - 1];
}

// GLib's form of the row's name, kept for the process: '-' for '_'
// ("sigma-auto"; gst-launch-1.0 takes either).
static const char* canonical_name(const ParamDef& p) {
  std::string name = p.name;
  for (char& c : name)
    if (c == '_') c = '-';
  return g_intern_string(name.c_str());
}

GParamSpec* zolta_gst_param_spec(const ParamDef& p) {
  // The temporal radius sets the frames held and the latency: taken when
  // the stream starts.
  const GParamFlags flags = static_cast<GParamFlags>(
      G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
      (p.id == kParamTemporal ? GST_PARAM_MUTABLE_READY : GST_PARAM_MUTABLE_PLAYING));
  switch (p.type) {
    case ParamType::kFloat:
      return g_param_spec_double(canonical_name(p), p.name, blurb(p), p.min, p.max,
                                 p.default_value ? std::strtod(p.default_value, nullptr) : p.min,
                                 flags);
    case ParamType::kInt:
      return g_param_spec_int(canonical_name(p), p.name, blurb(p),
                              static_cast<int>(p.min) - (p.default_value ? 0 : 1),
                              static_cast<int>(p.max), default_int(p), flags);
    case ParamType::kBool:
      return g_param_spec_boolean(canonical_name(p), p.name, blurb(p),
                                  p.default_value && std::atoi(p.default_value) != 0, flags);
    case ParamType::kChoice:
      return g_param_spec_enum(canonical_name(p), p.name, blurb(p), choice_type(p),
                               param_choice_index(p, p.default_value), flags);
    default:
      return g_param_spec_string(canonical_name(p), p.name, blurb(p), nullptr, flags);
  }
}

void zolta_gst_param_store(const ParamDef& p, const GValue* value, EditorValues* values) {
  switch (p.id) {
    case kParamNoise:
      values->sigma = g_value_get_double(value);
      break;
    case kParamConfigProperty:
      values->config = g_value_get_string(value) ? g_value_get_string(value) : "";
      break;
    case kParamThresholds:
      values->thresholds = g_value_get_string(value) ? g_value_get_string(value) : "";
      break;
    case kParamEditorProfile:
      values->profile = g_value_get_string(value) ? g_value_get_string(value) : "";
      break;
    case kParamNoiseAuto:
      values->sigma_auto = g_value_get_boolean(value) != FALSE;
      break;
    case kParamView: {
      GEnumClass* type = static_cast<GEnumClass*>(g_type_class_ref(G_VALUE_TYPE(value)));
      const GEnumValue* v = g_enum_get_value(type, g_value_get_enum(value));
      values->view = v ? v->value_nick : "";
      g_type_class_unref(type);
      break;
    }
    case kParamPlane: {
      const int plane = g_value_get_int(value);
      values->plane = plane < p.min ? "" : std::to_string(plane);
      break;
    }
    default:
      break;
  }
}

void zolta_gst_param_load(const ParamDef& p, const EditorValues& values, GValue* value) {
  switch (p.id) {
    case kParamNoise:
      g_value_set_double(value, values.sigma);
      break;
    case kParamConfigProperty:
      g_value_set_string(value, values.config.empty() ? nullptr : values.config.c_str());
      break;
    case kParamThresholds:
      g_value_set_string(value, values.thresholds.empty() ? nullptr : values.thresholds.c_str());
      break;
    case kParamEditorProfile:
      g_value_set_string(value, values.profile.empty() ? nullptr : values.profile.c_str());
      break;
    case kParamNoiseAuto:
      g_value_set_boolean(value, values.sigma_auto ? TRUE : FALSE);
      break;
    case kParamView:
      g_value_set_enum(value, param_choice_index(p, values.view.c_str()));
      break;
    case kParamPlane:
      g_value_set_int(value, values.plane.empty() ? static_cast<int>(p.min) - 1
                                                  : std::atoi(values.plane.c_str()));
      break;
    default:
      break;
  }
}

EditorValues zolta_gst_defaults() {
  EditorValues values;
  for (const ParamDef* p : rows()) {
    if (p->id == kParamNoise) values.sigma = std::strtod(p->default_value, nullptr);
    if (p->id == kParamView) values.view = p->default_value;
  }
  return values;
}
