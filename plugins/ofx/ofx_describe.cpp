// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_describe.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "ofx_host.h"
#include "ofx_params.h"

namespace {

// The first failing status of a run of property calls, with the name of
// the property it set.
struct Setter {
  const OfxPropertySuiteV1& p;
  OfxPropertySetHandle set;
  OfxStatus status = kOfxStatOK;
  const char* failed = nullptr;

  void check(OfxStatus s, const char* name) {
    if (s != kOfxStatOK && status == kOfxStatOK) {
      status = s;
      failed = name;
    }
  }
  void text(const char* name, const char* value, int index = 0) {
    check(p.propSetString(set, name, index, value), name);
  }
  void integer(const char* name, int value, int index = 0) {
    check(p.propSetInt(set, name, index, value), name);
  }
  void number(const char* name, double value) { check(p.propSetDouble(set, name, 0, value), name); }
};

OfxStatus refused(OfxImageEffectHandle effect, const Setter& s) {
  return ofx_fail(effect, s.status == kOfxStatOK ? kOfxStatErrUnknown : s.status,
                  "the host refused the property %s", s.failed ? s.failed : "?");
}

std::string one_line(const char* help) {
  std::string text = help;
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

OfxStatus define_param(OfxParamSetHandle params, const OfxParamRow& r) {
  const OfxSuites& suites = ofx_suites();
  static const char* const kTypes[] = {kOfxParamTypeDouble, kOfxParamTypeInteger,
                                       kOfxParamTypeChoice, kOfxParamTypeString,
                                       kOfxParamTypeInteger, kOfxParamTypeBoolean};
  OfxPropertySetHandle props = nullptr;
  const OfxStatus defined =
      suites.param->paramDefine(params, kTypes[static_cast<int>(r.kind)], r.name.c_str(), &props);
  if (defined != kOfxStatOK) return defined;
  Setter s{*suites.property, props};
  const ParamDef& p = *r.row;
  const OfxValues defaults = ofx_default_values();
  s.text(kOfxPropLabel, r.label.c_str());
  s.text(kOfxParamPropScriptName, r.name.c_str());
  s.text(kOfxParamPropHint, one_line(p.help).c_str());
  switch (r.kind) {
    case OfxParamKind::kDouble:
      s.number(kOfxParamPropDefault, defaults.sigma);
      s.number(kOfxParamPropMin, p.min);
      s.number(kOfxParamPropMax, p.max);
      s.number(kOfxParamPropDisplayMin, p.min);
      s.number(kOfxParamPropDisplayMax, p.max);
      s.integer(kOfxParamPropAnimates, 1);
      break;
    case OfxParamKind::kInteger:
    case OfxParamKind::kThreshold:
      s.integer(kOfxParamPropDefault, r.kind == OfxParamKind::kInteger ? defaults.temporal : 0);
      s.integer(kOfxParamPropMin, static_cast<int>(p.min));
      s.integer(kOfxParamPropMax, static_cast<int>(p.max));
      s.integer(kOfxParamPropDisplayMin, static_cast<int>(p.min));
      s.integer(kOfxParamPropDisplayMax, static_cast<int>(p.max));
      // The radius decides the frames the host must have ready: one value.
      s.integer(kOfxParamPropAnimates, r.kind == OfxParamKind::kThreshold ? 1 : 0);
      if (r.kind == OfxParamKind::kThreshold) s.text(kOfxParamPropParent, p.name);
      break;
    case OfxParamKind::kChoice: {
      const std::vector<std::string> options = ofx_choice_options(p);
      for (size_t i = 0; i < options.size(); ++i)
        s.text(kOfxParamPropChoiceOption, options[i].c_str(), static_cast<int>(i));
      s.integer(kOfxParamPropDefault, p.id == kParamView ? defaults.view : defaults.plane);
      s.integer(kOfxParamPropAnimates, 0);
      break;
    }
    case OfxParamKind::kString:
      if (p.id == kParamEditorProfile) {
        // A file the host lets the user pick.
        s.text(kOfxParamPropDefault, defaults.profile.c_str());
        s.text(kOfxParamPropStringMode, kOfxParamStringIsFilePath);
        s.integer(kOfxParamPropStringFilePathExists, 1);
      } else {
        s.text(kOfxParamPropDefault, defaults.settings.c_str());
        s.text(kOfxParamPropStringMode, kOfxParamStringIsSingleLine);
      }
      s.integer(kOfxParamPropAnimates, 0);
      break;
    case OfxParamKind::kBoolean:
      s.integer(kOfxParamPropDefault, defaults.sigma_auto ? 1 : 0);
      s.integer(kOfxParamPropAnimates, 0);
      break;
  }
  return s.status;
}

OfxStatus define_clip(OfxImageEffectHandle effect, const char* name, bool source) {
  const OfxSuites& suites = ofx_suites();
  OfxPropertySetHandle props = nullptr;
  OfxStatus status = suites.effect->clipDefine(effect, name, &props);
  if (status != kOfxStatOK) return ofx_fail(nullptr, status, "the host refused the clip %s", name);
  Setter s{*suites.property, props};
  s.text(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGBA, 0);
  s.text(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGB, 1);
  if (s.status != kOfxStatOK) return refused(nullptr, s);
  // Optional on older hosts: a refusal there is no failure.
  s.integer(kOfxImageEffectPropSupportsTiles, 0);
  if (source) {
    if (ofx_host_has_temporal_access()) s.integer(kOfxImageEffectPropTemporalClipAccess, 1);
    // Interlaced material: each field denoised as a picture of its own.
    s.text(kOfxImageClipPropFieldExtraction, kOfxImageFieldSingle);
  }
  return kOfxStatOK;
}

}  // namespace

bool ofx_host_has_temporal_access() {
  const OfxSuites& suites = ofx_suites();
  int access = 0;
  if (!suites.host ||
      suites.property->propGetInt(suites.host->host, kOfxImageEffectPropTemporalClipAccess, 0,
                                  &access) != kOfxStatOK)
    return false;
  return access != 0;
}

OfxStatus ofx_describe(OfxImageEffectHandle effect) {
  const OfxSuites& suites = ofx_suites();
  OfxPropertySetHandle props = nullptr;
  if (suites.effect->getPropertySet(effect, &props) != kOfxStatOK)
    return ofx_fail(nullptr, kOfxStatErrBadHandle, "the host gave no effect properties");
  Setter s{*suites.property, props};
  s.text(kOfxPropLabel, "zolta");
  s.text(kOfxImageEffectPluginPropGrouping, "Filter");
  s.text(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextFilter, 0);
  s.text(kOfxImageEffectPropSupportedContexts, kOfxImageEffectContextGeneral, 1);
  s.text(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthByte, 0);
  s.text(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthShort, 1);
  s.text(kOfxImageEffectPropSupportedPixelDepths, kOfxBitDepthFloat, 2);
  // One render at a time per instance (its denoiser keeps the frames of the
  // window it converted); instances share nothing. The effect splits the
  // frame's work itself, on the host's threads.
  s.text(kOfxImageEffectPluginRenderThreadSafety, kOfxImageEffectRenderInstanceSafe);
  s.integer(kOfxImageEffectPluginPropHostFrameThreading, 0);
  s.integer(kOfxImageEffectPluginPropSingleInstance, 0);
  // The wavelets see the whole picture: no tiles.
  s.integer(kOfxImageEffectPropSupportsTiles, 0);
  s.integer(kOfxImageEffectPropSupportsMultiResolution, 1);
  s.integer(kOfxImageEffectPropSupportsMultipleClipDepths, 0);
  if (s.status != kOfxStatOK) return refused(nullptr, s);
  s.text(kOfxPropShortLabel, "zolta");
  s.text(kOfxPropLongLabel, "zolta noise reduction");
  s.text(kOfxPropPluginDescription,
         "Wavelet noise reduction of each frame, or of each frame with the frames around it.");
  s.integer(kOfxImageEffectPluginPropFieldRenderTwiceAlways, 0);
  if (ofx_host_has_temporal_access()) {
    s.integer(kOfxImageEffectPropTemporalClipAccess, 1);
    // Frames rendered in order reuse the converted neighbours; any order is
    // still right.
    s.integer(kOfxImageEffectInstancePropSequentialRender, 2);
  }
  return kOfxStatOK;
}

OfxStatus ofx_describe_in_context(OfxImageEffectHandle effect) {
  OfxStatus status = define_clip(effect, kOfxImageEffectSimpleSourceClipName, true);
  if (status == kOfxStatOK) status = define_clip(effect, kOfxImageEffectOutputClipName, false);
  if (status != kOfxStatOK) return status;
  const OfxSuites& suites = ofx_suites();
  OfxParamSetHandle params = nullptr;
  if (suites.effect->getParamSet(effect, &params) != kOfxStatOK)
    return ofx_fail(nullptr, kOfxStatErrBadHandle, "the host gave no parameter set");
  bool group_defined = false;
  for (const OfxParamRow& r : ofx_param_rows()) {
    if (r.kind == OfxParamKind::kThreshold && !group_defined) {
      OfxPropertySetHandle props = nullptr;
      status = suites.param->paramDefine(params, kOfxParamTypeGroup, r.row->name, &props);
      if (status != kOfxStatOK)
        return ofx_fail(nullptr, status, "the host refused the parameter %s", r.row->name);
      suites.property->propSetString(props, kOfxPropLabel, 0, r.row->name);
      suites.property->propSetInt(props, kOfxParamPropGroupOpen, 0, 0);
      group_defined = true;
    }
    status = define_param(params, r);
    if (status != kOfxStatOK)
      return ofx_fail(nullptr, status, "the host refused the parameter %s", r.name.c_str());
  }
  return kOfxStatOK;
}
