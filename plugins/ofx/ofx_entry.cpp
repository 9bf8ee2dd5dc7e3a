// SPDX-License-Identifier: BSD-2-Clause
// The bundle's binary zolta.ofx: the two functions every OpenFX host looks
// up, the effect's record, and the dispatch of the host's actions.
#include <cstring>

#include "ofx_api.h"
#include "ofx_describe.h"
#include "ofx_host.h"
#include "ofx_instance.h"
#include "zolta.h"

#if defined(_WIN32)
#define ZOLTA_OFX_EXPORT extern "C" __declspec(dllexport)
#else
#define ZOLTA_OFX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

void set_host(OfxHost* host) {
  // Only kept: suites are fetched at load.
  ofx_suites().host = host;
}

OfxStatus load() {
  OfxSuites& suites = ofx_suites();
  OfxHost* host = suites.host;
  if (!host || !host->fetchSuite) return kOfxStatErrMissingHostFeature;
  suites = OfxSuites{};
  suites.host = host;
  suites.message =
      static_cast<const OfxMessageSuiteV1*>(host->fetchSuite(host->host, kOfxMessageSuite, 1));
  suites.property =
      static_cast<const OfxPropertySuiteV1*>(host->fetchSuite(host->host, kOfxPropertySuite, 1));
  suites.effect = static_cast<const OfxImageEffectSuiteV1*>(
      host->fetchSuite(host->host, kOfxImageEffectSuite, 1));
  suites.param =
      static_cast<const OfxParameterSuiteV1*>(host->fetchSuite(host->host, kOfxParameterSuite, 1));
  suites.threads = static_cast<const OfxMultiThreadSuiteV1*>(
      host->fetchSuite(host->host, kOfxMultiThreadSuite, 1));
  const char* missing = !suites.property ? kOfxPropertySuite
                        : !suites.effect ? kOfxImageEffectSuite
                        : !suites.param  ? kOfxParameterSuite
                                         : nullptr;
  if (missing) {
    ofx_fail(nullptr, kOfxStatErrMissingHostFeature, "the host has no %s version 1", missing);
    suites = OfxSuites{};
    suites.host = host;
    return kOfxStatErrMissingHostFeature;
  }
  return kOfxStatOK;
}

OfxStatus main_entry(const char* action, const void* handle, OfxPropertySetHandle in_args,
                     OfxPropertySetHandle out_args) {
  if (!action) return kOfxStatErrUnknown;
  if (std::strcmp(action, kOfxActionLoad) == 0) return load();
  if (std::strcmp(action, kOfxActionUnload) == 0) return kOfxStatOK;
  // Every other action needs the suites of a host that loaded the effect.
  if (!ofx_suites().property) return kOfxStatErrMissingHostFeature;
  OfxImageEffectHandle effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
  if (!effect) return ofx_fail(nullptr, kOfxStatErrBadHandle, "%s without an effect", action);
  if (std::strcmp(action, kOfxActionDescribe) == 0) return ofx_describe(effect);
  if (std::strcmp(action, kOfxImageEffectActionDescribeInContext) == 0)
    return ofx_describe_in_context(effect);
  if (std::strcmp(action, kOfxActionCreateInstance) == 0) return ofx_create_instance(effect);
  if (std::strcmp(action, kOfxActionDestroyInstance) == 0) return ofx_destroy_instance(effect);
  if (std::strcmp(action, kOfxImageEffectActionRender) == 0) {
    if (!in_args) return ofx_fail(effect, kOfxStatErrBadHandle, "a render without arguments");
    return ofx_render(effect, in_args);
  }
  if (std::strcmp(action, kOfxImageEffectActionGetFramesNeeded) == 0) {
    if (!in_args || !out_args)
      return ofx_fail(effect, kOfxStatErrBadHandle, "frames needed without arguments");
    return ofx_frames_needed(effect, in_args, out_args);
  }
  if (std::strcmp(action, kOfxImageEffectActionBeginSequenceRender) == 0 ||
      std::strcmp(action, kOfxActionPurgeCaches) == 0) {
    const OfxStatus status = ofx_forget_frames(effect);
    return status == kOfxStatOK ? kOfxStatOK : kOfxStatReplyDefault;
  }
  return kOfxStatReplyDefault;
}

OfxPlugin plugin = {
    kOfxImageEffectPluginApi, 1,        "org.zolta.denoise", ZOLTA_API_VERSION_MAJOR,
    ZOLTA_API_VERSION_MINOR,  set_host, main_entry};

}  // namespace

ZOLTA_OFX_EXPORT int OfxGetNumberOfPlugins(void) {
  return 1;
}

ZOLTA_OFX_EXPORT OfxPlugin* OfxGetPlugin(int nth) {
  return nth == 0 ? &plugin : nullptr;
}
