// SPDX-License-Identifier: BSD-2-Clause
#include "frei0r_params.h"

#include <cstdio>
#include <string>
#include <vector>

#include "frei0r_api.h"

namespace {

// frei0r's hosts give the parameters by position (ffmpeg's filter_params
// "a|b|c"), so the noise level comes first and the settings text second; then
// the rest in table order.
std::vector<const ParamDef*> make_rows() {
  std::vector<const ParamDef*> rows;
  rows.push_back(&kParams[kParamNoise]);
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceFrei0r) && p.settings_way) rows.push_back(&p);
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceFrei0r) && !p.settings_way && p.id != kParamNoise) rows.push_back(&p);
  return rows;
}

const std::vector<const ParamDef*>& rows() {
  static const std::vector<const ParamDef*> list = make_rows();
  return list;
}

std::vector<std::string> make_explanations() {
  std::vector<std::string> texts;
  for (const ParamDef* p : rows()) {
    std::string text = p->help;
    for (char& c : text)
      if (c == '\n') c = ' ';
    char scale[96];
    if (frei0r_param_type(*p) == F0R_PARAM_DOUBLE) {
      std::snprintf(scale, sizeof scale, " [frei0r: %s / %g]", p->name, p->max);
      text += scale;
    } else if (p->type == ParamType::kChoice) {
      text += " [" + param_choices_text(*p) + "]";
    } else if (p->type == ParamType::kInt) {
      std::snprintf(scale, sizeof scale, " [%g..%g, or empty]", p->min, p->max);
      text += scale;
    }
    texts.push_back(text);
  }
  return texts;
}

}  // namespace

int frei0r_param_count() {
  return static_cast<int>(rows().size());
}

const ParamDef* frei0r_param(int index) {
  if (index < 0 || index >= frei0r_param_count()) return nullptr;
  return rows()[static_cast<size_t>(index)];
}

int frei0r_param_type(const ParamDef& p) {
  switch (p.type) {
    case ParamType::kFloat:
      return F0R_PARAM_DOUBLE;
    case ParamType::kBool:
      return F0R_PARAM_BOOL;  // a double: 0 off, 1 on (at least 0.5: on)
    default:
      return F0R_PARAM_STRING;
  }
}

const char* frei0r_param_explanation(int index) {
  static const std::vector<std::string> texts = make_explanations();
  if (index < 0 || index >= frei0r_param_count()) return nullptr;
  return texts[static_cast<size_t>(index)].c_str();
}

double frei0r_double_of(const ParamDef& p, double value) {
  return value / p.max;
}

double frei0r_value_of(const ParamDef& p, double frei0r_double) {
  return frei0r_double * p.max;
}
